#include "gif/sub_blocks.h"

#include <algorithm>

#include "gif/stream_bytes.h"

namespace {
constexpr size_t kMaxSubBlockSize = 255;
}

std::vector<std::string> ReadSubBlocks(TStream& stream) {
  std::vector<std::string> blocks;
  uint8_t size = 0;
  while (ReadByte(stream, size) && size != 0) {
    std::string bytes(size, '\0');
    ReadGIFBytes(stream, bytes.data(), size);
    blocks.push_back(std::move(bytes));
  }
  return blocks;
}

void WriteSubBlocks(TStream& stream, const std::vector<std::string>& pieces) {
  for (const std::string& piece : pieces) {
    for (size_t at = 0; at < piece.size(); at += kMaxSubBlockSize) {
      const size_t size = std::min(kMaxSubBlockSize, piece.size() - at);
      WriteByte(stream, static_cast<uint8_t>(size));
      stream.WriteBuffer(piece.data() + at, static_cast<int64_t>(size));
    }
  }
  WriteByte(stream, 0);
}

void SkipSubBlocks(TStream& stream) {
  uint8_t size = 0;
  while (ReadByte(stream, size) && size != 0) stream.Seek(size, soCurrent);
}
