#pragma once
// The GIF LZW encoder: the dictionary maps (prefix code, pixel) pairs to codes in a fixed
// open-addressing hash table, and a clear code is sent when the next free code would be
// 4095, one code before the 12-bit table is full.

#include <array>
#include <cstdint>
#include <memory>

#include "gif/gif_encoder.h"
#include "gif/lzw_run_chains.h"

class THashTable {
 public:
  static constexpr int kSize = 8009;
  static constexpr int kAbsent = -1;

  THashTable() { Clear(); }
  void Clear() { slots_.fill(kEmpty); }
  // key = (prefix code shl 8) or pixel, below 2^20; code below 4096.
  void Insert(uint32_t key, int code) {
    int slot = Primary(key);
    while (slots_[slot] < kFirstEmpty) slot = Next(slot);
    InsertAt(slot, key, code);
  }
  // The code stored for key, or kAbsent.
  int Lookup(uint32_t key) const {
    int slot = 0;
    return Lookup(key, slot);
  }
  // The same, and the empty slot the search ended on, where InsertAt may store the key.
  int Lookup(uint32_t key, int& emptySlot) const {
    // An empty slot never matches a key, so the match is tested first.
    for (int slot = Primary(key);; slot = Next(slot)) {
      const uint32_t value = slots_[slot];
      if (value >> kCodeBits == key) return static_cast<int>(value & kCodeMask);
      if (value >= kFirstEmpty) {
        emptySlot = slot;
        return kAbsent;
      }
    }
  }
  void InsertAt(int emptySlot, uint32_t key, int code) {
    slots_[emptySlot] = key << kCodeBits | static_cast<uint32_t>(code);
  }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  // Every value from here up counts as empty: no key reaches 0xFFFFF.
  static constexpr uint32_t kFirstEmpty = 0xFFFFF000;
  static constexpr int kCodeBits = 12;
  static constexpr uint32_t kCodeMask = (1u << kCodeBits) - 1;
  static constexpr int kFoldShift = 12;
  static constexpr uint32_t kFoldMask = 0x1FFF;

  // Folds the key onto 13 bits and those onto the table: cheaper than a division, and
  // the lookup of each pixel waits for the previous one.
  static int Primary(uint32_t key) {
    const int folded = static_cast<int>((key ^ (key >> kFoldShift)) & kFoldMask);
    return folded >= kSize ? folded - kSize : folded;
  }
  // Linear probing: the next slot usually shares the cache line, and every slot is
  // reached, so a probe always ends.
  static int Next(int slot) { return slot + 1 == kSize ? 0 : slot + 1; }

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

  // No string in progress is one repeated index.
  static constexpr int kNoRun = -1;

  // Output of the current string at a miss, and the new string's code when there is room.
  template <class Store>
  void EndString(int prefix, Store store);

  // Allocated once per encoder; 32 kB is too much for the stack of a painter thread.
  std::unique_ptr<THashTable> hashTable_ = std::make_unique<THashTable>();
  // Strings of one repeated index are kept here instead of in the hash table.
  TRunChains runChains_;
  int nextFreeCode_ = 0;
};
