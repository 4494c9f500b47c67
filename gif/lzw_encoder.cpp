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
  nextFreeCode_ = baseCode_;
}

void TLZWEncoder::Compress() {
  Clear();
  int prefix = Pixel();
  while (NextPixel()) {
    const uint8_t pixel = Pixel();
    const uint32_t key = static_cast<uint32_t>(prefix) << kPixelBits | pixel;
    int emptySlot = 0;
    const int code = hashTable_->Lookup(key, emptySlot);
    if (code != THashTable::kAbsent) {
      prefix = code;
      continue;
    }
    Output(prefix);
    prefix = pixel;
    if (nextFreeCode_ > kLastDictionaryCode) {
      Clear();
    } else {
      hashTable_->InsertAt(emptySlot, key, nextFreeCode_++);
    }
  }
  Output(prefix);
}
