#pragma once
// How long a run of one byte value goes on, found eight bytes at a time.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The number of bytes from begin on, before end, that equal value.
inline size_t EqualBytes(const uint8_t* begin, const uint8_t* end, uint8_t value) {
  constexpr uint64_t kEveryByte = 0x0101010101010101ull;
  const uint64_t pattern = kEveryByte * value;
  const uint8_t* at = begin;
  if constexpr (std::endian::native == std::endian::little) {
    for (; end - at >= 8; at += 8) {
      uint64_t word = 0;
      std::memcpy(&word, at, sizeof word);
      // The lowest set bit of the difference lies in the first byte that is not value.
      if (const uint64_t differ = word ^ pattern; differ != 0) {
        return static_cast<size_t>(at - begin) + static_cast<size_t>(std::countr_zero(differ) / 8);
      }
    }
  }
  while (at != end && *at == value) ++at;
  return static_cast<size_t>(at - begin);
}
