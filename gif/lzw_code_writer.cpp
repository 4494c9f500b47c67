#include "gif/lzw_code_writer.h"

#include <algorithm>

namespace {

// Whole sub-blocks gathered before a write to the stream.
constexpr size_t kBlocksPerWrite = 256;
constexpr size_t kHeldBytes = kBlocksPerWrite * TCodeWriter::kMaxBlockSize;
// A code put while the bytes held are below the limit moves on at most 4 bytes, and its
// store reaches 4 bytes past where it starts.
constexpr size_t kStoreSlack = 8;

}  // namespace

TCodeWriter::TCodeWriter(TStream& stream)
    : stream_(stream),
      bytes_(kHeldBytes + kStoreSlack),
      framed_(kBlocksPerWrite * (kMaxBlockSize + 1)),
      flushAt_(bytes_.data() + kHeldBytes) {
  bits_.Out = bytes_.data();
}

// The first bytes held go out as sub-blocks, the last of them bytes long at most: whole
// ones, and one shorter only when bytes is not a multiple of the block size.
void TCodeWriter::WriteBlocks(size_t bytes) {
  uint8_t* to = framed_.data();
  for (size_t at = 0; at < bytes; at += kMaxBlockSize) {
    const size_t size = std::min<size_t>(kMaxBlockSize, bytes - at);
    *to++ = static_cast<uint8_t>(size);
    std::memcpy(to, bytes_.data() + at, size);
    to += size;
  }
  stream_.WriteBuffer(framed_.data(), to - framed_.data());
  const size_t held = static_cast<size_t>(bits_.Out - bytes_.data());
  std::memmove(bytes_.data(), bytes_.data() + bytes, held - bytes);
  bits_.Out = bytes_.data() + (held - bytes);
}

void TCodeWriter::WriteWholeBlocks() {
  const size_t held = static_cast<size_t>(bits_.Out - bytes_.data());
  WriteBlocks(held - held % kMaxBlockSize);
}

void TCodeWriter::Finish() {
  if (bits_.HeldBits > 0) {
    *bits_.Out++ = static_cast<uint8_t>(bits_.Held);
    bits_.Held = 0;
    bits_.HeldBits = 0;
  }
  WriteBlocks(static_cast<size_t>(bits_.Out - bytes_.data()));
}
