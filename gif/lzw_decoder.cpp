#include "gif/lzw_decoder.h"

#include <algorithm>
#include <memory>

#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_messages.h"
#include "gif/gif_sub_image.h"
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
// Two bytes carried over from the previous sub-block, then up to 255 new ones.
constexpr int kCarriedBytes = 2;
constexpr int kWindowSize = kCarriedBytes + 255;
// A code is read as the three bytes from the one holding its first bit: a code that starts
// in the last byte of a full window reads two bytes past it.
constexpr int kReadAhead = 2;

// The rows of a frame in the order the data fills them: all at once, or in the four
// passes of an interlaced frame (every 8th row from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1).
class TRowOrder {
 public:
  TRowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {}

  // The next row; false when every row has had its turn. A frame that is not interlaced
  // is one run of all rows, answered as row 0.
  bool Next(int& row) {
    if (done_ == height_ || (!interlaced_ && done_ > 0)) return false;
    if (done_ > 0) Advance();
    row = y_;
    done_ = interlaced_ ? done_ + 1 : height_;
    return true;
  }

 private:
  void Advance() {
    y_ += step_;
    while (y_ >= height_) {
      if (pass_ > 0) step_ /= 2;
      ++pass_;
      y_ = step_ / 2;
    }
  }

  int height_;
  bool interlaced_;
  int done_ = 0;
  int y_ = 0;
  int step_ = 8;
  int pass_ = 0;
};

// The string table. The string of a code is the string of Prefix followed by Suffix; roots
// (codes below the clear code) are their own one pixel. A non-zero Length marks a string
// fixed until the next clear code, whose chain ends in a root after Length - 1 steps: such
// strings are written straight into the frame, back to front.
struct TStringTable {
  uint16_t Prefix[kMaxCodes];
  uint16_t Suffix[kMaxCodes];
  uint16_t Length[kMaxCodes];
};

// What changes with every code: the read position, the code width, the table's fill.
struct TCodeState {
  int BitPosition = 0;
  int Width = 0;
  int Mask = 0;
  int WidthLimit = 0;
  int NextFree = kMaxCodes;
  int PreviousCode = 0;
  int FirstPixel = 0;
};

// The code at the read position; codes are taken least significant bit first.
inline int CodeAt(const uint8_t* window, const TCodeState& state) {
  const uint8_t* bytes = window + (state.BitPosition >> 3);
  const uint32_t bits = bytes[0] | bytes[1] << 8 | bytes[2] << 16;
  return static_cast<int>(bits >> (state.BitPosition & 7)) & state.Mask;
}

// Makes the next entry from the previous string and the first pixel just decoded, and
// widens the codes when the table reaches the width limit. A full table stays as it is.
inline void AddEntry(TStringTable& table, TCodeState& state) {
  const int entry = state.NextFree;
  if (entry >= kMaxCodes) return;
  table.Prefix[entry] = static_cast<uint16_t>(state.PreviousCode);
  table.Suffix[entry] = static_cast<uint16_t>(state.FirstPixel);
  // Codes from NextFree on have no fixed string yet: length 0.
  const int prefixLength = table.Length[state.PreviousCode];
  table.Length[entry] = static_cast<uint16_t>(prefixLength == 0 ? 0 : prefixLength + 1);
  state.NextFree = entry + 1;
  if (state.NextFree >= state.WidthLimit && state.WidthLimit < kMaxCodes) {
    state.WidthLimit *= 2;
    ++state.Width;
    state.Mask = (1 << state.Width) - 1;
  }
}

class TLZWDecoder {
 public:
  TLZWDecoder(TGIFSubImage& frame, TStream& stream, int codeSize);
  // True when every pixel of the frame came from the data.
  bool Decode();

 private:
  int GetCode();
  bool Refill();
  // Once: the stream ended inside the chain.
  void WarnPrematureEnd();
  // Decodes one code into the frame, any code; false when the data has ended.
  bool NextString();
  // Decodes codes while they are plain: whole in the window, fixed strings that fit.
  void NextPlainStrings();
  int ClearTable();
  void SkipToChainEnd();
  int PushString(int code);
  void PopIntoFrame(int count);
  bool NextRun();

  TGIFSubImage& frame_;
  TStream& stream_;

  const int codeSize_;
  const int clearCode_;
  const int endCode_;
  TCodeState state_;
  TStringTable table_;
  uint16_t stack_[kPixelStackSize];
  bool start_ = true;
  bool ended_ = false;

  // Codes are taken three bytes at a time; a code never ends past the last byte read.
  uint8_t window_[kWindowSize + kReadAhead] = {};
  int bytesInWindow_ = kCarriedBytes;
  int bitEnd_ = 0;
  bool dataDone_ = false;
  bool warnedEnd_ = false;

  TRowOrder rows_;
  uint8_t* out_ = nullptr;
  uint8_t* runEnd_ = nullptr;
  int surplus_ = 0;
};

TLZWDecoder::TLZWDecoder(TGIFSubImage& frame, TStream& stream, int codeSize)
    : frame_(frame),
      stream_(stream),
      codeSize_(codeSize),
      clearCode_(1 << codeSize),
      endCode_(clearCode_ + 1),
      rows_(frame.Height(), frame.Interlaced()) {
  for (int code = 0; code < clearCode_; ++code) {
    table_.Prefix[code] = 0;
    table_.Suffix[code] = static_cast<uint16_t>(code);
    table_.Length[code] = 1;
  }
}

bool TLZWDecoder::Refill() {
  if (dataDone_) {
    if (state_.BitPosition >= bitEnd_) {
      frame_.Warning(kGIFWarningSeverity, kGIFBitBufferUnderrun);
    }
    return false;
  }
  window_[0] = window_[bytesInWindow_ - 2];
  window_[1] = window_[bytesInWindow_ - 1];
  uint8_t size = 0;
  if (!ReadByte(stream_, size)) {
    WarnPrematureEnd();
    return false;
  }
  if (size == 0) dataDone_ = true;
  if (size > 0 && BytesLeft(stream_) < size) {
    WarnPrematureEnd();
    size = static_cast<uint8_t>(BytesLeft(stream_));
  }
  if (size > 0) ReadGIFBytes(stream_, window_ + kCarriedBytes, size);
  bytesInWindow_ = size + kCarriedBytes;
  state_.BitPosition = state_.BitPosition - bitEnd_ + 8 * kCarriedBytes;
  bitEnd_ = 8 * bytesInWindow_;
  return true;
}

void TLZWDecoder::WarnPrematureEnd() {
  if (warnedEnd_) return;
  warnedEnd_ = true;
  frame_.Warning(kGIFWarningSeverity, kGIFPrematureEndOfData);
}

int TLZWDecoder::GetCode() {
  if (start_) {
    start_ = false;
    return clearCode_;
  }
  if (state_.BitPosition + state_.Width >= bitEnd_) {
    // A code may reach over a one-byte sub-block into the next one.
    do {
      if (!Refill()) return -1;
    } while (state_.BitPosition + state_.Width > bitEnd_ && !dataDone_);
    // The chain ended inside the code: what is left of the window is no longer data.
    if (state_.BitPosition + state_.Width > bitEnd_) {
      frame_.Warning(kGIFWarningSeverity, kGIFBitBufferUnderrun);
      return -1;
    }
  }
  const int code = CodeAt(window_, state_);
  state_.BitPosition += state_.Width;
  return code;
}

int TLZWDecoder::ClearTable() {
  // Entries from NextFree on are still as the last clear left them.
  for (int code = clearCode_; code < state_.NextFree; ++code) {
    table_.Prefix[code] = table_.Suffix[code] = table_.Length[code] = 0;
  }
  state_.Width = codeSize_ + 1;
  state_.Mask = (1 << state_.Width) - 1;
  state_.WidthLimit = 2 * clearCode_;
  state_.NextFree = clearCode_ + 2;
  int code = clearCode_;
  while (code == clearCode_) code = GetCode();
  // The first code after a clear is taken as a pixel as it is, even when it names no root.
  if (code >= 0) state_.FirstPixel = state_.PreviousCode = code;
  return code;
}

void TLZWDecoder::SkipToChainEnd() {
  ended_ = true;
  if (!dataDone_) SkipSubBlocks(stream_);
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
    push(table_.Suffix[code]);
    if (table_.Prefix[code] == code) throw GIFException(kGIFCircularTableEntry);
    code = table_.Prefix[code];
  }
  state_.FirstPixel = table_.Suffix[code];
  push(state_.FirstPixel);
  return count;
}

void TLZWDecoder::PopIntoFrame(int count) {
  while (count > 0) {
    if (out_ == runEnd_ && !NextRun()) {
      surplus_ = count;
      return;
    }
    *out_++ = static_cast<uint8_t>(stack_[--count]);
  }
}

bool TLZWDecoder::NextRun() {
  int row = 0;
  if (!rows_.Next(row)) return false;
  out_ = frame_.Data() + static_cast<size_t>(row) * frame_.Width();
  runEnd_ = frame_.Interlaced() ? out_ + frame_.Width() : frame_.Data() + frame_.DataSize();
  return true;
}

bool TLZWDecoder::NextString() {
  if (ended_) return false;
  int code = GetCode();
  if (code == clearCode_) {
    code = ClearTable();
    if (code < 0) return false;
    stack_[0] = static_cast<uint16_t>(code);
    PopIntoFrame(1);
    return true;
  }
  if (code == endCode_) {
    SkipToChainEnd();
    return false;
  }
  if (code < 0) return false;
  PopIntoFrame(PushString(code));
  AddEntry(table_, state_);
  state_.PreviousCode = code;
  return true;
}

// The same steps as NextString for the codes that make up nearly all of the data, with the
// state in a local copy: the stores into the frame would otherwise make the compiler reload
// it. A code of a fixed string is written back to front from its last pixel, without a
// stack; so is the code one past the table when the previous string is fixed.
void TLZWDecoder::NextPlainStrings() {
  const int clearCode = clearCode_;
  const int bitEnd = bitEnd_;
  TCodeState state = state_;
  uint8_t* out = out_;
  uint8_t* const runEnd = runEnd_;
  while (state.BitPosition + state.Width < bitEnd) {
    const int code = CodeAt(window_, state);
    // Clear and end codes have no fixed string either.
    int chain = code;
    int length = code < state.NextFree ? table_.Length[code] : 0;
    int advance = length;
    if (code == state.NextFree) {
      chain = state.PreviousCode;
      length = table_.Length[chain];
      advance = length + 1;
    }
    if (length == 0 || advance > runEnd - out) break;
    if (code == state.NextFree) out[length] = static_cast<uint8_t>(state.FirstPixel);
    uint8_t* at = out + length - 1;
    while (chain >= clearCode) {
      *at-- = static_cast<uint8_t>(table_.Suffix[chain]);
      chain = table_.Prefix[chain];
    }
    *at = static_cast<uint8_t>(chain);
    out += advance;
    state.FirstPixel = chain;
    state.BitPosition += state.Width;
    AddEntry(table_, state);
    state.PreviousCode = code;
  }
  state_ = state;
  out_ = out;
}

bool TLZWDecoder::Decode() {
  bool more = true;
  while (more && (out_ != runEnd_ || NextRun())) {
    if (!start_ && !ended_) NextPlainStrings();
    if (out_ != runEnd_) more = NextString();
  }
  // One more string is asked for, as after the last pixel: in sound data it is the end
  // code, which moves the stream past the chain. Its pixels go nowhere.
  runEnd_ = out_;
  rows_ = TRowOrder(0, false);
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
  frame.NewData(frame.Transparent() && control != nullptr ? control->TransparentColorIndex() : 0);
  return std::make_unique<TLZWDecoder>(frame, stream, codeSize)->Decode();
}
