#include "gif/lzw_encoder.h"

namespace {

constexpr int kPixelBits = 8;

}  // namespace

void TLZWEncoder::Output(int code) {
  TGIFEncoder::Output(code);
  if (clearFlag_) {
    bitsPerCode_ = initialBitsPerCode_;
    maxCode_ = (1 << bitsPerCode_) - 1;
    clearFlag_ = false;
  } else if (nextFreeCode_ > maxCode_) {
    ++bitsPerCode_;
    maxCode_ = bitsPerCode_ == kMaxBitsPerCode ? kMaxCodeAt12Bits : (1 << bitsPerCode_) - 1;
  }
}

void TLZWEncoder::Clear() {
  TGIFEncoder::Clear();
  hashTable_->Clear();
  runChains_.Clear();
  nextFreeCode_ = baseCode_;
}

template <class Store>
void TLZWEncoder::EndString(int prefix, Store store) {
  Output(prefix);
  if (nextFreeCode_ > kLastDictionaryCode) {
    Clear();
  } else {
    store(nextFreeCode_++);
  }
}

// The pixels are walked run by run with the table, the run and the colour count in locals:
// this loop is most of the encoder's time. A string of one repeated index is followed in
// the run chains; every other string in the hash table.
void TLZWEncoder::Compress() {
  Clear();
  THashTable& table = *hashTable_;
  const int colorCount = ColorCount();
  int prefix = Pixel();
  int runIndex = prefix;
  int runLength = 1;
  const uint8_t* pixel = RunBegin() + 1;
  const uint8_t* end = RunBegin() + RunLength();
  for (;;) {
    for (; pixel != end; ++pixel) {
      const uint8_t index = *pixel;
      if (index >= colorCount) RaiseColorNotInTable();
      if (index == runIndex) {
        const int code = runChains_.Next(index, runLength);
        if (code != TRunChains::kAbsent) {
          prefix = code;
          ++runLength;
          continue;
        }
        EndString(prefix, [&](int newCode) { runChains_.Add(index, newCode); });
      } else {
        const uint32_t key = static_cast<uint32_t>(prefix) << kPixelBits | index;
        int emptySlot = 0;
        const int code = table.Lookup(key, emptySlot);
        if (code != THashTable::kAbsent) {
          prefix = code;
          runIndex = kNoRun;
          continue;
        }
        EndString(prefix, [&](int newCode) { table.InsertAt(emptySlot, key, newCode); });
      }
      prefix = index;
      runIndex = index;
      runLength = 1;
    }
    if (!NextRun()) break;
    pixel = RunBegin();
    end = pixel + RunLength();
  }
  Output(prefix);
}
