#include "runtime/epoll_source.h"

#include <sys/epoll.h>

void WatchDescriptor(int epoll, int fd, uint64_t tag, uint32_t events, uint32_t& watched) {
  if (events == watched) return;
  epoll_event event{};
  event.events = events;
  event.data.u64 = tag;
  const int operation = events == 0 ? EPOLL_CTL_DEL : watched == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD;
  // A descriptor closed behind the loop's back simply stops reporting.
  if (epoll_ctl(epoll, operation, fd, &event) == 0 || operation == EPOLL_CTL_DEL) watched = events;
}
