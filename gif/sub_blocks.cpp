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

bool CopySubBlocks(TStream& stream, std::vector<uint8_t>& chain) {
  uint8_t size = 0;
  while (ReadByte(stream, size)) {
    const size_t at = chain.size();
    chain.resize(at + 1 + size);
    const auto read = static_cast<uint8_t>(stream.Read(chain.data() + at + 1, size));
    chain.resize(at + 1 + read);
    chain[at] = read;
    if (size == 0) return true;
    if (read < size) break;
  }
  chain.push_back(0);
  return false;
}
