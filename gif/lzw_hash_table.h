#pragma once
// The LZW encoder's dictionary for tables of more than 16 colours: (prefix code, pixel)
// keys and their codes in one open-addressing table of packed 32-bit words, cleared at
// once.

#include <array>
#include <cstdint>

class THashTable {
 public:
  // A power of two, more than twice the most strings a dictionary holds (4096 codes less
  // the roots): probe sequences stay short.
  static constexpr int kSize = 8192;
  static constexpr int kAbsent = -1;

  THashTable() { Clear(); }
  void Clear() { slots_.fill(kEmpty); }
  // key = (prefix code shl 8) or pixel, below 2^20; code below 4096.
  static uint32_t Key(int prefix, uint8_t pixel) {
    return static_cast<uint32_t>(prefix) << kPixelBits | pixel;
  }
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
  // Nothing to prepare for a new code: the keys of its strings are not in the table.
  void GiveOut(int) {}

 private:
  static constexpr int kPixelBits = 8;
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  // Every value from here up counts as empty: no key reaches 0xFFFFF.
  static constexpr uint32_t kFirstEmpty = 0xFFFFF000;
  static constexpr int kCodeBits = 12;
  static constexpr uint32_t kCodeMask = (1u << kCodeBits) - 1;
  static constexpr int kSlotBits = 13;
  static_assert(kSize == 1 << kSlotBits);
  // Fibonacci hashing: the key times 2^32 over the golden ratio, whose top bits spread the
  // keys of one prefix (consecutive pixels) and of one pixel (consecutive codes) alike.
  static constexpr uint32_t kGoldenRatio = 0x9E3779B1u;

  static int Primary(uint32_t key) {
    return static_cast<int>(key * kGoldenRatio >> (32 - kSlotBits));
  }
  // Linear probing: the next slot usually shares the cache line, and every slot is
  // reached, so a probe always ends.
  static int Next(int slot) { return (slot + 1) & (kSize - 1); }

  std::array<uint32_t, kSize> slots_;
};
