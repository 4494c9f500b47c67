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
  return std::find_if(lines_.begin(), lines_.end(), [&](const TQueuedLine& queued) {
    return !queued.Failing() || queued.retryAt.ms <= now.ms;
  });
}

bool TFetchQueue::Failed(Position line, TDateTime now) {
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
