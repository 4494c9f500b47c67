#include "http/send_buffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int32_t capacity)
    : data_(std::make_unique<uint8_t[]>(
          static_cast<size_t>(capacity > 0 ? capacity : kDefaultCapacity))),
      capacity_(capacity > 0 ? capacity : kDefaultCapacity) {}

void TBuffer::Resize(int32_t capacity) {
  if (capacity == capacity_) return;
  // Never below what is written: those bytes are still owed to the socket.
  const int32_t kept = readCount_ < writeCount_ ? writeCount_ : 0;
  capacity = std::max(capacity, kept);
  auto data = std::make_unique<uint8_t[]>(static_cast<size_t>(std::max(capacity, 1)));
  if (kept > 0) std::memcpy(data.get(), data_.get(), static_cast<size_t>(kept));
  data_ = std::move(data);
  capacity_ = capacity;
}

int32_t TBuffer::Append(const void* data, int32_t length) {
  const int32_t count = std::clamp(length, 0, capacity_ - writeCount_);
  if (count > 0) std::memcpy(data_.get() + writeCount_, data, static_cast<size_t>(count));
  writeCount_ += count;
  return count;
}

std::pair<const uint8_t*, int32_t> TBuffer::PeekData() const {
  const int32_t count = writeCount_ - readCount_;
  if (count <= 0) return {nullptr, 0};
  return {data_.get() + readCount_, count};
}

int32_t TBuffer::Consume(int32_t count) {
  const int32_t consumed = std::clamp(count, 0, writeCount_ - readCount_);
  readCount_ += consumed;
  if (readCount_ >= writeCount_) readCount_ = writeCount_ = 0;
  return consumed;
}
