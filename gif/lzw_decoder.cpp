#include "gif/lzw_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_messages.h"
#include "gif/gif_sub_image.h"
#include "gif/lzw_code_stream.h"
#include "gif/lzw_pixel_output.h"
#include "gif/stream_bytes.h"
#include "gif/sub_blocks.h"
#include "runtime/exceptions.h"

namespace {

constexpr int kMaxCodes = 4096;
// Beyond this the clear code would reach the end of the table.
constexpr int kMaxInitialCodeSize = 11;
// The i-th code after a clear gives at most i pixels (each entry is one pixel longer than
// the string before it), and it is read at a width w with i < 2^(w+1): a code of w bits
// gives at most min(kMaxCodes, 2^(w+1)) pixels, the most for each bit at 11 bits.
constexpr int64_t kDensestCodeWidth = 11;
// Past this many codes n(n+1)/2 no longer bounds anything the per-bit limit does not.
constexpr int64_t kManyCodes = int64_t{1} << 31;
// No chain of a sound table is longer; a longer one goes round in a circle.
constexpr int kPixelStackSize = 8192;
// Strings are copied 16 bytes at a time, without a branch on their length: the last copy
// writes up to 15 bytes past the string, which the strings after it overwrite.
constexpr size_t kCopyChunk = 16;
constexpr int kPixelValues = 256;

// The one-pixel strings of the codes below the clear code (a code above 255 is its low 8
// bits), with room for a whole chunk copied from the last.
struct TRootPixels {
  std::array<uint8_t, kPixelValues + kCopyChunk> Pixels{};
  constexpr TRootPixels() {
    for (int i = 0; i < kPixelValues; ++i) Pixels[i] = static_cast<uint8_t>(i);
  }
};
constexpr TRootPixels kRootPixels;

// A chunk is read whole before it is written: a string that names the entry being made
// starts less than a chunk before its own copy.
inline void CopyChunk(uint8_t* to, const uint8_t* from) {
  uint8_t chunk[kCopyChunk];
  std::memcpy(chunk, from, kCopyChunk);
  std::memcpy(to, chunk, kCopyChunk);
}

// The string table. The string of a code is the string of its prefix code followed by its
// suffix; roots (codes below the clear code) are their own one pixel. Entries from the next
// free code on count as empty (prefix and suffix 0) whatever they hold.
//
// A string whose chain ends in a root is fixed until the next clear code: its Length pixels
// are where the output first holds them, at Start, and are copied from there. Its last
// pixel there is the first of the string written after its prefix's, which is its suffix.
// Length 0 marks the others, which follow their chain, and every entry past the next free
// code. The entry at the next free code is prepared from the string just decoded, so that
// a code that names it (that string and its own first pixel) is copied like any other; one
// entry past the table takes that when the table is full.
struct TStringTable {
  uint16_t Prefix[kMaxCodes];
  uint16_t Suffix[kMaxCodes];
  const uint8_t* Start[kMaxCodes + 1];
  uint16_t Length[kMaxCodes + 1];
};

// What changes with every code: the read position, the code width, the table's fill.
struct TCodeState {
  int64_t BitPosition = 0;
  int Width = 0;
  uint32_t Mask = 0;
  int NextFree = kMaxCodes;
  // The next free code at which the codes grow a bit wider; past the table once they are
  // 12 bits wide.
  int GrowAt = 0;
  int PreviousCode = 0;
  int FirstPixel = 0;
};

constexpr int kNoGrowth = kMaxCodes + 1;

// Makes the prepared entry at the next free code from the previous code and the first pixel
// of the string just decoded, and widens the codes when the table reaches the width limit.
// A full table stays as it is.
inline void CompleteEntry(TStringTable& table, TCodeState& state) {
  const int entry = state.NextFree;
  if (entry >= kMaxCodes) return;
  table.Prefix[entry] = static_cast<uint16_t>(state.PreviousCode);
  table.Suffix[entry] = static_cast<uint16_t>(state.FirstPixel);
  state.NextFree = entry + 1;
  if (state.NextFree >= state.GrowAt) {
    ++state.Width;
    state.Mask = (1u << state.Width) - 1;
    state.GrowAt = 2 * state.GrowAt < kMaxCodes ? 2 * state.GrowAt : kNoGrowth;
  }
}

// Prepares the entry at the next free code from the string of code just decoded, of length
// pixels (0: not fixed), which the output holds at written.
inline void PrepareEntry(TStringTable& table, TCodeState& state, int code, size_t length,
                         const uint8_t* written) {
  table.Start[state.NextFree] = written;
  table.Length[state.NextFree] = static_cast<uint16_t>(length == 0 ? 0 : length + 1);
  state.PreviousCode = code;
}

// Decodes a frame's data into one run of pixels: the frame itself, or the rows of an
// interlaced frame in the order the data holds them.
class TLZWDecoder {
 public:
  TLZWDecoder(TGIFSubImage& frame, int codeSize, TPixelOutput& output);
  // Reads the data from the stream, which stands after the code size byte, and answers
  // whether every pixel came from it.
  bool Decode(TStream& stream);

 private:
  int GetCode();
  // Decodes one code, any code; false when the data has ended.
  bool NextString();
  // Decodes codes while they are plain: fixed strings with room for their last copy.
  void NextFixedStrings();
  int ClearTable();
  void SkipToChainEnd();
  int PushString(int code);
  void PopIntoOutput(int count);

  TGIFSubImage& frame_;
  std::optional<TLZWCodeStream> codes_;

  const int codeSize_;
  const int clearCode_;
  const int endCode_;
  TCodeState state_;
  TStringTable table_;
  uint16_t stack_[kPixelStackSize];
  bool started_ = false;
  bool ended_ = false;

  TPixelOutput& output_;
  // Where the string being written must stop: the end of the output, until the last pixel
  // is written.
  uint8_t* end_;
  int surplus_ = 0;
};

TLZWDecoder::TLZWDecoder(TGIFSubImage& frame, int codeSize, TPixelOutput& output)
    : frame_(frame),
      codeSize_(codeSize),
      clearCode_(1 << codeSize),
      endCode_(clearCode_ + 1),
      output_(output),
      end_(output.End) {
  for (int code = 0; code < kMaxCodes; ++code) {
    const bool root = code < clearCode_;
    table_.Prefix[code] = 0;
    table_.Suffix[code] = static_cast<uint16_t>(root ? code : 0);
    table_.Start[code] = root ? &kRootPixels.Pixels[code % kPixelValues] : nullptr;
    table_.Length[code] = root ? 1 : 0;
  }
  table_.Start[kMaxCodes] = nullptr;
  table_.Length[kMaxCodes] = 0;
}

int TLZWDecoder::GetCode() {
  if (!started_) {
    started_ = true;
    return clearCode_;
  }
  return codes_->Code(state_.BitPosition, state_.Width);
}

int TLZWDecoder::ClearTable() {
  const int prepared = std::min(state_.NextFree, kMaxCodes);
  std::fill(table_.Length + clearCode_, table_.Length + prepared + 1, 0);
  state_.Width = codeSize_ + 1;
  state_.Mask = (1u << state_.Width) - 1;
  state_.NextFree = clearCode_ + 2;
  state_.GrowAt = 2 * clearCode_ < kMaxCodes ? 2 * clearCode_ : kNoGrowth;
  int code = clearCode_;
  while (code == clearCode_) code = GetCode();
  // The first code after a clear is taken as a pixel as it is, even when it names no root.
  if (code >= 0) state_.FirstPixel = state_.PreviousCode = code;
  return code;
}

void TLZWDecoder::SkipToChainEnd() {
  ended_ = true;
  codes_->SkipRest();
}

// The string as the pixel stack holds it, last pixel at the bottom.
int TLZWDecoder::PushString(int code) {
  int count = 0;
  const auto push = [&](int pixel) {
    if (count == kPixelStackSize) throw GIFException(kGIFCircularTableEntry);
    stack_[count++] = static_cast<uint16_t>(pixel);
  };
  if (code >= state_.NextFree) {
    push(state_.FirstPixel);
    code = state_.PreviousCode;
  }
  while (code >= clearCode_) {
    const bool made = code < state_.NextFree;
    push(made ? table_.Suffix[code] : 0);
    const int prefix = made ? table_.Prefix[code] : 0;
    if (prefix == code) throw GIFException(kGIFCircularTableEntry);
    code = prefix;
  }
  state_.FirstPixel = table_.Suffix[code];
  push(state_.FirstPixel);
  return count;
}

// Pixels past the end of the frame are dropped.
void TLZWDecoder::PopIntoOutput(int count) {
  uint8_t*& out = output_.Next;
  const int room = static_cast<int>(std::min<ptrdiff_t>(count, end_ - out));
  for (int i = 1; i <= room; ++i) *out++ = static_cast<uint8_t>(stack_[count - i]);
  surplus_ = count - room;
}

bool TLZWDecoder::NextString() {
  if (ended_) return false;
  int code = GetCode();
  uint8_t* const written = output_.Next;
  if (code == clearCode_) {
    code = ClearTable();
    if (code < 0) return false;
    stack_[0] = static_cast<uint16_t>(code);
    PopIntoOutput(1);
    PrepareEntry(table_, state_, code, table_.Length[code], written);
    return true;
  }
  if (code == endCode_) {
    SkipToChainEnd();
    return false;
  }
  if (code < 0) return false;
  PopIntoOutput(PushString(code));
  CompleteEntry(table_, state_);
  PrepareEntry(table_, state_, code, table_.Length[code], written);
  return true;
}

// The same steps as NextString for the codes that make up nearly all of the data, with the
// state in locals: the stores into the output would otherwise make the compiler reload it.
// Each string is copied from where the output first holds it. A code that names the
// prepared entry copies the string just written and its first pixel, which is where its
// own copy starts: its last pixel is set after the copy. A code is looked at
// before it takes the sub-blocks it reaches into, so that a code left to NextString takes
// them itself; the inner loop runs within the sub-blocks taken, free of calls.
void TLZWDecoder::NextFixedStrings() {
  uint8_t* out = output_.Next;
  if (end_ - out < static_cast<ptrdiff_t>(kCopyChunk)) return;
  uint8_t* const copyEnd = end_ - (kCopyChunk - 1);
  TStringTable& table = table_;
  const uint8_t* const bits = codes_->Bits();
  TCodeState state = state_;
  const auto write = [&](uint32_t code, size_t length) {
    const uint8_t* const from = table.Start[code];
    size_t copied = 0;
    do {
      CopyChunk(out + copied, from + copied);
      copied += kCopyChunk;
    } while (copied < length);
    if (code == static_cast<uint32_t>(state.NextFree)) out[length - 1] = from[0];
    state.FirstPixel = from[0];
    state.BitPosition += state.Width;
    CompleteEntry(table, state);
    PrepareEntry(table, state, code, length, out);
    out += length;
  };
  for (;;) {
    const int64_t bitEnd = codes_->BitEnd();
    uint32_t code = 0;
    size_t length = 0;
    for (;;) {
      code = TLZWCodeStream::CodeAt(bits, state.BitPosition, state.Mask);
      length = table.Length[code];
      if (length == 0 || out + length > copyEnd || state.BitPosition + state.Width >= bitEnd) {
        break;
      }
      write(code, length);
    }
    if (length == 0 || out + length > copyEnd ||
        !codes_->TakeWholeBlocks(state.BitPosition + state.Width)) {
      break;
    }
    write(code, length);
  }
  state_ = state;
  output_.Next = out;
}

bool TLZWDecoder::Decode(TStream& stream) {
  codes_.emplace(stream, frame_);
  bool more = true;
  while (more && output_.Next != end_) {
    if (started_ && !ended_) NextFixedStrings();
    if (output_.Next != end_) more = NextString();
  }
  // One more string is asked for, as after the last pixel: in sound data it is the end
  // code, which moves the stream past the chain. Its pixels go nowhere.
  end_ = output_.Next;
  if (surplus_ == 0) NextString();
  // Data that goes on after the frame is full is dropped up to the chain's end, as giflib
  // does, instead of being read as the blocks that follow.
  if (!ended_) SkipToChainEnd();
  // The loop above stops early only when the data ran out before the last pixel.
  return more;
}

}  // namespace

int64_t LZWPixelCapacity(int codeSize, int64_t dataBytes) {
  if (codeSize > kMaxInitialCodeSize || dataBytes <= 0) return 0;
  const int64_t bits = dataBytes * 8;
  const int64_t perBit = bits * kMaxCodes / kDensestCodeWidth;
  const int64_t codes = bits / (codeSize + 1);
  if (codes >= kManyCodes) return perBit;
  return std::min(codes * (codes + 1) / 2, perBit);
}

bool DecodeFrame(TGIFSubImage& frame, TStream& stream) {
  frame.ReleaseData();
  uint8_t codeSize = 0;
  if (!ReadByte(stream, codeSize)) return false;
  const int64_t pixels = int64_t{frame.Width()} * frame.Height();
  if (codeSize > kMaxInitialCodeSize || pixels > LZWPixelCapacity(codeSize, BytesLeft(stream))) {
    SkipSubBlocks(stream);
    return false;
  }
  const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
  TPixelOutput output(
      frame, frame.Transparent() && control != nullptr ? control->TransparentColorIndex() : 0);
  // About 80 kB of tables: too much for the stack of a painter thread.
  return std::make_unique<TLZWDecoder>(frame, codeSize, output)->Decode(stream);
}
