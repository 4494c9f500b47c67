#include "fetch/fetch_queue.h"

#include <algorithm>
#include <set>

#include "fetch/fetch_inputs.h"

int64_t RetryDelaySeconds(int failedAttempts) {
  int64_t delay = kFirstRetrySeconds;
  for (int attempt = 1; attempt < failedAttempts && delay < kLongestRetrySeconds; ++attempt)
    delay *= 2;
  return std::min(delay, kLongestRetrySeconds);
}

void TFetchQueue::Append(std::string line) {
  lines_.push_back({std::move(line), {}, {}, {}});
}

std::vector<std::string> TFetchQueue::Lines() const {
  std::vector<std::string> lines;
  for (const TQueuedLine& queued : lines_) lines.push_back(queued.line);
  return lines;
}

TFetchQueue::Position TFetchQueue::NextDue(TDateTime now) {
  return std::find_if(lines_.begin(), lines_.end(),
                      [&](const TQueuedLine& queued) { return MayRun(queued, now); });
}

// A line that still has to download waits for its source's back-off too.
bool TFetchQueue::MayRun(const TQueuedLine& queued, TDateTime now) const {
  if (queued.Failing() && queued.retryAt.ms > now.ms) return false;
  if (queued.progress.next != jsDownload) return true;
  const auto source = sourceBackOffs_.find(CutFetchInputs(queued.line).URL);
  return source == sourceBackOffs_.end() || source->second.retryAt.ms <= now.ms;
}

void TFetchQueue::Remove(Position line) {
  sourceBackOffs_.erase(CutFetchInputs(line->line).URL);
  lines_.erase(line);
}

bool TFetchQueue::Failed(Position line, TDateTime now) {
  const std::string url = CutFetchInputs(line->line).URL;
  if (line->progress.next == jsDownload) {
    TSourceBackOff& source = sourceBackOffs_[url];
    source.retryAt = {now.ms + RetryDelaySeconds(++source.failures) * 1000};
  } else {
    sourceBackOffs_.erase(url);  // it downloaded: what failed was here
  }
  if (line->failures.Failed(now)) {
    lines_.erase(line);
    return true;
  }
  line->retryAt = {now.ms + RetryDelaySeconds(line->failures.Attempts()) * 1000};
  lines_.splice(lines_.end(), lines_, line);
  return false;
}

int TFetchQueue::FailingCount() const {
  std::set<std::string> sources;
  for (const TQueuedLine& queued : lines_)
    if (queued.Failing()) sources.insert(CutFetchInputs(queued.line).URL);
  return static_cast<int>(sources.size());
}

const TQueuedLine* TFetchQueue::NextRetry() const {
  const TQueuedLine* next = nullptr;
  for (const TQueuedLine& queued : lines_)
    if (queued.Failing() && (!next || queued.retryAt.ms < next->retryAt.ms)) next = &queued;
  return next;
}
