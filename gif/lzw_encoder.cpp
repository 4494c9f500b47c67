#include "gif/lzw_encoder.h"

#include <algorithm>

#include "gif/equal_bytes.h"

namespace {

constexpr int kLastDictionaryCode = 4094;
constexpr int kMaxCodeAt12Bits = 4096;
// No string in progress is one repeated index.
constexpr int kNoRun = -1;

// Every index below the colour count, each its own number.
TDenseValues EveryIndex(int colorCount) {
  TDenseValues values;
  for (int index = 0; index < colorCount; ++index)
    values.Number[index] = static_cast<uint8_t>(index);
  values.Count = colorCount;
  return values;
}

}  // namespace

void TLZWEncoder::Compress() {
  std::optional<TDenseValues> values;
  if (ColorCount() <= TDirectTable::kMaxColors)
    values = EveryIndex(ColorCount());
  else
    values = FewValues(FramePixels(), FramePixelCount(), TDirectTable::kMaxColors);
  if (values) {
    TDirectTable table(ColorCount(), *values);
    CompressWith(table);
  } else {
    // 32 kB: too much for the stack of a painter thread.
    const auto table = std::make_unique<THashTable>();
    CompressWith(*table);
  }
}

// The pixels are walked run by run with the codes, the code width and the dictionary's fill
// in locals: this loop is the encoder's time. A string of one repeated index is followed in
// the run chains, as far as the pixels repeat at once; every other string in the table.
template <class Table>
void TLZWEncoder::CompressWith(Table& table) {
  TCodeWriter& writer = Writer();
  TCodeWriter::TBits bits = writer.Bits();
  int width = bitsPerCode_;
  int maxCode = 0;
  int nextFree = 0;
  const auto put = [&](int code) {
    bits.Put(static_cast<uint32_t>(code), width);
    if (writer.Full(bits)) {
      writer.Bits() = bits;
      writer.WriteWholeBlocks();
      bits = writer.Bits();
    }
  };
  const auto clear = [&] {
    put(clearCode_);
    width = initialBitsPerCode_;
    maxCode = (1 << width) - 1;
    table.Clear();
    runChains_.Clear();
    nextFree = baseCode_;
  };
  // A string's code goes out at the current width, which grows after the code that finds
  // the next free code past the width's limit: the decoder, one entry behind, grows there.
  const auto output = [&](int code) {
    put(code);
    if (nextFree > maxCode) {
      ++width;
      maxCode = width == kMaxBitsPerCode ? kMaxCodeAt12Bits : (1 << width) - 1;
    }
  };
  // At a miss the string so far goes out, and the string one pixel longer gets the next
  // free code (store), or the dictionary starts again when none is left.
  const auto endString = [&](int prefix, auto store) {
    output(prefix);
    if (nextFree > kLastDictionaryCode) {
      clear();
    } else {
      table.GiveOut(nextFree);
      store(nextFree++);
    }
  };
  const int colorCount = ColorCount();
  const auto check = [&](uint8_t index) {
    if (index < colorCount) return;
    writer.Bits() = bits;
    RaiseColorNotInTable();
  };

  clear();
  const uint8_t* pixel = RunBegin();
  const uint8_t* end = pixel + RunLength();
  check(*pixel);
  int prefix = *pixel++;
  int runIndex = prefix;
  int runLength = 1;
  for (;;) {
    while (pixel != end) {
      const uint8_t index = *pixel;
      if (index == runIndex) {
        // The pixels that repeat index, counted up to one more than the runs held can take.
        const int longest = runChains_.Longest(index);
        const int room = longest - runLength;
        const uint8_t* const limit = end - pixel > room ? pixel + room + 1 : end;
        const auto equal = static_cast<int>(EqualBytes(pixel, limit, index));
        pixel += std::min(equal, room);
        runLength += std::min(equal, room);
        prefix = runChains_.Code(index, runLength);
        if (equal <= room) continue;
        endString(prefix, [&](int code) { runChains_.Add(index, code); });
      } else {
        check(index);
        const uint32_t key = table.Key(prefix, index);
        int place = 0;
        const int code = table.Lookup(key, place);
        if (code != Table::kAbsent) {
          prefix = code;
          runIndex = kNoRun;
          ++pixel;
          continue;
        }
        endString(prefix, [&](int newCode) { table.InsertAt(place, key, newCode); });
      }
      prefix = index;
      runIndex = index;
      runLength = 1;
      ++pixel;
    }
    if (!NextRun()) break;
    pixel = RunBegin();
    end = pixel + RunLength();
  }
  output(prefix);
  writer.Bits() = bits;
  bitsPerCode_ = width;
}
