#pragma once
// One chunk of a socket's send queue: bytes appended behind those not yet sent, and sent
// bytes consumed from the front.

#include <cstdint>
#include <memory>
#include <utility>

class TBuffer {
 public:
  // A capacity of 0 or less gives the default.
  explicit TBuffer(int32_t capacity);

  int32_t Capacity() const { return capacity_; }
  // Keeps the bytes written so far; the new capacity must hold them.
  void Resize(int32_t capacity);
  // Copies what fits of data; returns the count copied (0 when full).
  int32_t Append(const void* data, int32_t length);
  // The unsent bytes: their address and count (null and 0 when there are none).
  std::pair<const uint8_t*, int32_t> PeekData() const;
  // Marks up to count unsent bytes as sent and returns how many; once all are sent the
  // chunk is empty again.
  int32_t Consume(int32_t count);

 private:
  static constexpr int32_t kDefaultCapacity = 1514;

  std::unique_ptr<uint8_t[]> data_;
  int32_t capacity_ = 0;
  int32_t writeCount_ = 0;
  int32_t readCount_ = 0;
};
