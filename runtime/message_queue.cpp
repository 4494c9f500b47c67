#include "runtime/message_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

TMessageQueue::TMessageQueue() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

TMessageQueue::~TMessageQueue() {
  close(wakeFd_);
}

void TMessageQueue::DrainWake() {
  std::lock_guard lock(mutex_);
  uint64_t count = 0;
  while (read(wakeFd_, &count, sizeof count) > 0) {
  }
  signalled_ = false;
}

void TMessageQueue::SignalIfPending() {
  std::lock_guard lock(mutex_);
  if (!entries_.empty()) SignalLocked();
}

void TMessageQueue::SignalLocked() {
  if (signalled_) return;
  const uint64_t one = 1;
  // The only failure is a counter at its limit, which is readable anyway.
  [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
  signalled_ = true;
}

bool TMessageQueue::Push(TQueuedEntry entry) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  if (entry.window != 0 && !windows_.contains(entry.window)) return false;
  entries_.push_back(std::move(entry));
  SignalLocked();
  return true;
}

std::optional<TQueuedEntry> TMessageQueue::Pop() {
  std::lock_guard lock(mutex_);
  if (entries_.empty()) return std::nullopt;
  TQueuedEntry entry = std::move(entries_.front());
  entries_.pop_front();
  return entry;
}

bool TMessageQueue::Contains(const std::function<bool(const TQueuedEntry&)>& match) const {
  std::lock_guard lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(), match);
}

void TMessageQueue::RemoveIf(const std::function<bool(const TQueuedEntry&)>& match) {
  std::deque<TQueuedEntry> removed;  // destroyed outside the lock
  std::lock_guard lock(mutex_);
  auto kept = std::stable_partition(entries_.begin(), entries_.end(),
                                    [&](const TQueuedEntry& entry) { return !match(entry); });
  std::move(kept, entries_.end(), std::back_inserter(removed));
  entries_.erase(kept, entries_.end());
}

TWindowHandle TMessageQueue::AddWindow(TWndMethod method) {
  std::lock_guard lock(mutex_);
  const TWindowHandle window = ++lastWindow_;
  windows_.emplace(window, std::make_shared<TWndMethod>(std::move(method)));
  return window;
}

void TMessageQueue::RemoveWindow(TWindowHandle window) {
  {
    std::lock_guard lock(mutex_);
    windows_.erase(window);
    std::erase_if(requests_, [window](const auto& request) { return request.second == window; });
  }
  RemoveIf([window](const TQueuedEntry& entry) { return entry.window == window; });
}

bool TMessageQueue::HasWindow(TWindowHandle window) const {
  std::lock_guard lock(mutex_);
  return windows_.contains(window);
}

std::shared_ptr<TWndMethod> TMessageQueue::FindWindow(TWindowHandle window) const {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : found->second;
}

TAsyncHandle TMessageQueue::AddRequest(TWindowHandle window) {
  std::lock_guard lock(mutex_);
  do {
    ++lastRequest_;
  } while (lastRequest_ == 0 || requests_.contains(lastRequest_));
  requests_.emplace(lastRequest_, window);
  return lastRequest_;
}

bool TMessageQueue::TakeRequest(TAsyncHandle request) {
  std::lock_guard lock(mutex_);
  return requests_.erase(request) > 0;
}

void TMessageQueue::Close() {
  std::deque<TQueuedEntry> dropped;
  std::unordered_map<TWindowHandle, std::shared_ptr<TWndMethod>> windows;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(entries_);
    windows.swap(windows_);
    requests_.clear();
  }
}
