#pragma once
// The GIF LZW encoder: the dictionary maps (prefix code, pixel) pairs to codes in a fixed
// open-addressing hash table, and a clear code is sent when the next free code would be
// 4095, one code before the 12-bit table is full.

#include <array>
#include <cstdint>
#include <memory>

#include "gif/gif_encoder.h"

class THashTable {
 public:
  static constexpr int kSize = 8009;
  static constexpr int kAbsent = -1;

  THashTable() { Clear(); }
  void Clear() { slots_.fill(kEmpty); }
  // key = (prefix code shl 8) or pixel, below 2^20; code below 4096.
  void Insert(uint32_t key, int code);
  // The code stored for key, or kAbsent.
  int Lookup(uint32_t key) const;

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  // Every value from here up counts as empty: no key reaches 0xFFFFF.
  static constexpr uint32_t kFirstEmpty = 0xFFFFF000;
  static constexpr int kCodeBits = 12;
  static constexpr uint32_t kCodeMask = (1u << kCodeBits) - 1;

  static int Primary(uint32_t key) { return static_cast<int>((key ^ (key >> 4)) % kSize); }
  static int Next(int slot);

  std::array<uint32_t, kSize> slots_;
};

class TLZWEncoder : public TGIFEncoder {
 protected:
  void Compress() override;
  void Output(int code) override;
  void Clear() override;

 private:
  static constexpr int kLastDictionaryCode = 4094;
  static constexpr int kMaxCodeAt12Bits = 4096;

  // Allocated once per encoder; 32 kB is too much for the stack of a painter thread.
  std::unique_ptr<THashTable> hashTable_ = std::make_unique<THashTable>();
  int nextFreeCode_ = 0;
};
