#pragma once
// The codes of a frame's image data, packed least significant bit first and framed into
// data sub-blocks of 255 bytes. Codes are packed into bytes held here and written to the
// stream a few hundred whole sub-blocks at a time; only Finish writes a last, shorter one.

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gif/uninitialized_allocator.h"
#include "runtime/stream.h"

class TCodeWriter {
 public:
  static constexpr int kMaxBlockSize = 255;

  // What an encoder's loop keeps in registers while it puts codes: the bits not yet in
  // whole bytes, and where the next byte goes.
  struct TBits {
    uint8_t* Out = nullptr;
    uint64_t Held = 0;
    int HeldBits = 0;

    // A code of at most 25 bits (no more than width); the whole bytes go out with one
    // 32-bit store and no branch, the rest stays held.
    void Put(uint32_t code, int width) {
      Held |= uint64_t{code} << HeldBits;
      HeldBits += width;
      StoreLittleEndian(Out, static_cast<uint32_t>(Held));
      const int bytes = HeldBits >> 3;
      Out += bytes;
      Held >>= bytes * 8;
      HeldBits &= 7;
    }
  };

  explicit TCodeWriter(TStream& stream);

  TBits& Bits() { return bits_; }
  // Whether the bytes held should go out before the next code.
  bool Full(const TBits& bits) const { return bits.Out >= flushAt_; }
  void Put(uint32_t code, int width) {
    bits_.Put(code, width);
    if (Full(bits_)) WriteWholeBlocks();
  }
  // Writes every whole sub-block of the bytes held and keeps the rest.
  void WriteWholeBlocks();
  // Writes everything held, the last bits as a byte of their own, the last sub-block as
  // short as it is (none when nothing is left).
  void Finish();

 private:
  static void StoreLittleEndian(uint8_t* to, uint32_t value) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(to, &value, sizeof value);
    } else {
      for (int i = 0; i < 4; ++i) to[i] = static_cast<uint8_t>(value >> (8 * i));
    }
  }
  void WriteBlocks(size_t bytes);

  TStream& stream_;
  std::vector<uint8_t, TUninitializedAllocator<uint8_t>> bytes_;
  std::vector<uint8_t, TUninitializedAllocator<uint8_t>> framed_;
  const uint8_t* flushAt_;
  TBits bits_;
};
