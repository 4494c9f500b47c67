#include "gif/lzw_code_stream.h"

#include <algorithm>

#include "gif/gif_messages.h"
#include "gif/gif_sub_image.h"
#include "gif/stream_bytes.h"

namespace {

constexpr int kBitsPerByte = 8;
// A code read at the last data byte takes the three bytes after it too.
constexpr size_t kReadAhead = sizeof(uint32_t);

}  // namespace

TLZWCodeStream::TLZWCodeStream(TStream& stream, TGIFSubImage& frame)
    : stream_(stream), frame_(frame) {
  Read();
}

// A sub-block that claims more bytes than the stream has left keeps the bytes there are and
// ends the chain, as does a missing size byte.
void TLZWCodeStream::Read() {
  TStream& stream = stream_;
  bytes_.reserve(static_cast<size_t>(std::max<int64_t>(0, BytesLeft(stream))) + kReadAhead);
  uint8_t size = 0;
  for (;;) {
    if (!ReadByte(stream, size)) {
      ending_ = ceStreamEnd;
      break;
    }
    if (size == 0) {
      ending_ = ceTerminator;
      break;
    }
    const int64_t left = BytesLeft(stream);
    const size_t at = bytes_.size();
    if (left < size) {
      ending_ = ceCutBlock;
      cutAt_ = stream.Position() - 1;
      cutClaim_ = size;
      cutBytes_ = static_cast<int>(std::max<int64_t>(0, left));
      bytes_.resize(at + static_cast<size_t>(cutBytes_));
      ReadGIFBytes(stream, bytes_.data() + at, cutBytes_);
      break;
    }
    bytes_.resize(at + size);
    ReadGIFBytes(stream, bytes_.data() + at, size);
    blockEnds_.push_back(static_cast<int64_t>(bytes_.size()) * kBitsPerByte);
  }
  bytes_.resize(bytes_.size() + kReadAhead);
}

bool TLZWCodeStream::TakeWholeBlocks(int64_t reach) {
  if (terminated_) return false;
  size_t taken = blocksTaken_;
  int64_t end = bitEnd_;
  do {
    if (taken == blockEnds_.size()) return false;
    end = blockEnds_[taken++];
  } while (reach > end);
  blocksTaken_ = taken;
  bitEnd_ = end;
  return true;
}

// Takes the next sub-block, or the end of the chain; false when there is nothing more.
// After the terminator a code that finds no bits left at all is owed bits.
bool TLZWCodeStream::Refill(int64_t position) {
  if (terminated_) {
    if (position >= bitEnd_) frame_.Warning(kGIFWarningSeverity, kGIFBitBufferUnderrun);
    return false;
  }
  if (blocksTaken_ < blockEnds_.size()) {
    bitEnd_ = blockEnds_[blocksTaken_++];
    return true;
  }
  if (endingTaken_ || ending_ == ceStreamEnd) {
    WarnPrematureEnd();
    return false;
  }
  endingTaken_ = true;
  if (ending_ == ceTerminator) {
    terminated_ = true;
  } else {
    WarnPrematureEnd();
    bitEnd_ += int64_t{cutBytes_} * kBitsPerByte;
  }
  return true;
}

void TLZWCodeStream::WarnPrematureEnd() {
  if (warnedEnd_) return;
  warnedEnd_ = true;
  frame_.Warning(kGIFWarningSeverity, kGIFPrematureEndOfData);
}

int TLZWCodeStream::Code(int64_t& position, int width) {
  if (position + width >= bitEnd_) {
    // A code may reach over a one-byte sub-block into the next one.
    do {
      if (!Refill(position)) return -1;
    } while (position + width > bitEnd_ && !terminated_);
    // The chain ended inside the code: the rest of it is not data.
    if (position + width > bitEnd_) {
      frame_.Warning(kGIFWarningSeverity, kGIFBitBufferUnderrun);
      return -1;
    }
  }
  const auto code = static_cast<int>(CodeAt(bytes_.data(), position, (1u << width) - 1));
  position += width;
  return code;
}

// The chain was read whole, so the stream already stands after it; only a cut sub-block
// that was never reached is skipped as its size byte claims, past the end of the stream.
void TLZWCodeStream::SkipRest() {
  if (ending_ == ceCutBlock && !endingTaken_) stream_.SetPosition(cutAt_ + 1 + cutClaim_);
}
