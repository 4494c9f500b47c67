#pragma once
// What an epoll event of a message loop stands for: the tag in its data word says which
// kind of source, the low half which descriptor.

#include <cstdint>

enum class TEpollSource : uint32_t { esWake, esSocket, esTimer };

constexpr uint64_t EpollTag(TEpollSource source, int fd) {
  return (static_cast<uint64_t>(source) << 32) | static_cast<uint32_t>(fd);
}
constexpr TEpollSource EpollTagSource(uint64_t tag) {
  return static_cast<TEpollSource>(tag >> 32);
}
constexpr int EpollTagFd(uint64_t tag) {
  return static_cast<int>(static_cast<uint32_t>(tag));
}

// Adds, changes or removes fd in the epoll set so that it watches events (0: removed).
// watched is what is registered now and is updated.
void WatchDescriptor(int epoll, int fd, uint64_t tag, uint32_t events, uint32_t& watched);
