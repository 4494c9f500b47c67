#include "station/fetch_queue.h"

#include <algorithm>
#include <set>

int64_t RetryDelaySeconds(int failedAttempts) {
  int64_t delay = kFirstRetrySeconds;
  for (int attempt = 1; attempt < failedAttempts && delay < kLongestRetrySeconds; ++attempt)
    delay *= 2;
  return std::min(delay, kLongestRetrySeconds);
}

TFetchQueue::Position TFetchQueue::Append(std::string line) {
  TQueuedLine queued;
  queued.inputs = CutFetchInputs(line);
  queued.line = std::move(line);
  lines_.push_back(std::move(queued));
  return std::prev(lines_.end());
}

std::vector<std::string> TFetchQueue::Lines() const {
  std::vector<std::string> lines;
  for (const TQueuedLine& queued : lines_) lines.push_back(queued.line);
  return lines;
}

size_t TFetchQueue::Running() const {
  return static_cast<size_t>(std::ranges::count_if(lines_, &TQueuedLine::running));
}

TFetchQueue::Position TFetchQueue::NextDue(int64_t nowMs, const TAdmission& admit) {
  return std::find_if(lines_.begin(), lines_.end(), [&](const TQueuedLine& queued) {
    return MayRun(queued, nowMs) && admit(queued);
  });
}

// A line that still has to download waits for its source's back-off too; and while a
// source that failed is being tried again, its other lines wait for the outcome rather
// than each trying a server that may be silent.
bool TFetchQueue::MayRun(const TQueuedLine& queued, int64_t nowMs) const {
  if (queued.running) return false;
  if (queued.Failing() && queued.retryAtMs > nowMs) return false;
  if (queued.progress.next != jsDownload) return true;
  const auto source = sourceBackOffs_.find(queued.inputs.URL);
  if (source == sourceBackOffs_.end()) return true;
  return source->second.retryAtMs <= nowMs && !SourceDownloading(queued.inputs.URL);
}

bool TFetchQueue::SourceDownloading(const std::string& url) const {
  return std::ranges::any_of(lines_, [&](const TQueuedLine& queued) {
    return queued.running && queued.progress.next == jsDownload && queued.inputs.URL == url;
  });
}

void TFetchQueue::Remove(Position line) {
  SourceAnswered(*line);
  lines_.erase(line);
}

void TFetchQueue::SourceAnswered(const TQueuedLine& line) {
  sourceBackOffs_.erase(line.inputs.URL);
}

bool TFetchQueue::Failed(Position line, int64_t nowMs) {
  line->running = false;
  const std::string& url = line->inputs.URL;
  if (line->progress.next == jsDownload) {
    TSourceBackOff& source = sourceBackOffs_[url];
    source.retryAtMs = nowMs + RetryDelaySeconds(++source.failures) * 1000;
  }
  if (line->failures.Failed(nowMs)) {
    lines_.erase(line);
    return true;
  }
  line->retryAtMs = nowMs + RetryDelaySeconds(line->failures.Attempts()) * 1000;
  lines_.splice(lines_.end(), lines_, line);
  return false;
}

std::vector<std::string> TFetchQueue::FailingSources() const {
  std::set<std::string> sources;
  for (const TQueuedLine& queued : lines_)
    if (queued.Failing()) sources.insert(queued.inputs.URL);
  return {sources.begin(), sources.end()};
}

const TQueuedLine* TFetchQueue::NextRetry() const {
  const TQueuedLine* next = nullptr;
  for (const TQueuedLine& queued : lines_) {
    if (queued.running) return nullptr;
    if (queued.Failing() && (!next || queued.retryAtMs < next->retryAtMs)) next = &queued;
  }
  return next;
}
