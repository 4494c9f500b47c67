#include "runtime/loop_timers.h"

#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>

#include "runtime/epoll_source.h"
#include "runtime/message_queue.h"

namespace {

bool Arm(int fd, uint32_t intervalMs) {
  // An interval of 0 would disarm the timer; the shortest one is meant.
  const uint32_t ms = std::max<uint32_t>(intervalMs, 1);
  itimerspec setting{};
  setting.it_interval.tv_sec = ms / 1000;
  setting.it_interval.tv_nsec = static_cast<long>(ms % 1000) * 1000000;
  setting.it_value = setting.it_interval;
  return timerfd_settime(fd, 0, &setting, nullptr) == 0;
}

auto IsTimerEntry(TWindowHandle window, uintptr_t id) {
  return [window, id](const TQueuedEntry& entry) {
    return entry.kind == TEntryKind::ekTimer && entry.window == window &&
           entry.message.WParam == id;
  };
}

}  // namespace

TLoopTimers::~TLoopTimers() {
  for (auto& [key, timer] : timers_) Close(timer);
}

void TLoopTimers::Close(TTimer& timer) {
  uint32_t watched = EPOLLIN;
  WatchDescriptor(epoll_, timer.fd, EpollTag(TEpollSource::esTimer, timer.fd), 0, watched);
  close(timer.fd);
}

bool TLoopTimers::Set(TWindowHandle window, uintptr_t id, uint32_t msg, uint32_t intervalMs) {
  if (!queue_.HasWindow(window)) return false;
  auto found = timers_.find({window, id});
  if (found == timers_.end()) {
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0) return false;
    uint32_t watched = 0;
    WatchDescriptor(epoll_, fd, EpollTag(TEpollSource::esTimer, fd), EPOLLIN, watched);
    if (watched == 0) {
      close(fd);
      return false;
    }
    found = timers_.emplace(TKey{window, id}, TTimer{msg, fd}).first;
  }
  found->second.msg = msg;
  return Arm(found->second.fd, intervalMs);
}

void TLoopTimers::Kill(TWindowHandle window, uintptr_t id) {
  const auto found = timers_.find({window, id});
  if (found == timers_.end()) return;
  Close(found->second);
  timers_.erase(found);
  queue_.RemoveIf(IsTimerEntry(window, id));
}

void TLoopTimers::KillWindow(TWindowHandle window) {
  for (auto timer = timers_.begin(); timer != timers_.end();) {
    if (timer->first.first != window) {
      ++timer;
      continue;
    }
    Close(timer->second);
    timer = timers_.erase(timer);
  }
}

void TLoopTimers::OnExpired(int fd) {
  uint64_t expirations = 0;
  [[maybe_unused]] const ssize_t got = read(fd, &expirations, sizeof expirations);
  for (auto& [key, timer] : timers_) {
    if (timer.fd != fd) continue;
    const auto [window, id] = key;
    // Like window timers: expirations while one message waits are not counted.
    if (queue_.Contains(IsTimerEntry(window, id))) return;
    TQueuedEntry entry;
    entry.kind = TEntryKind::ekTimer;
    entry.window = window;
    entry.message.Msg = timer.msg;
    entry.message.WParam = id;
    queue_.Push(std::move(entry));
    return;
  }
}
