#include "gif/gif_application_extension.h"

#include "gif/gif_messages.h"
#include "gif/gif_registries.h"
#include "gif/stream_bytes.h"
#include "gif/sub_blocks.h"
#include "imaging/byte_order.h"
#include "runtime/exceptions.h"

namespace {

// Ids of the looping extension's sub-blocks; only the low three bits count.
constexpr uint8_t kLoopIdMask = 0x07;
constexpr uint8_t kLoopCountId = 1;
constexpr uint8_t kBufferSizeId = 2;

bool ReadsFully(TStream& stream, int64_t count) {
  std::string bytes(static_cast<size_t>(count), '\0');
  return stream.Read(bytes.data(), count) == count;
}

// The kind by block size and identifier. Block sizes below 10, above 11, and an identifier
// cut short by the end of the stream go to the unknown kind: its load raises the block-size
// or end-of-data error before any data is read, and a longer block is read as unknown data.
const TGIFExtensionClass* FindApplicationClass(TStream& stream) {
  uint8_t size = 0;
  if (!ReadByte(stream, size)) return nullptr;
  if (size == TGIFApplicationExtension::kShortBlockSize) {
    return ReadsFully(stream, size) ? &TGIFUnknownAppExtension::Class : nullptr;
  }
  if (size == TGIFApplicationExtension::kBlockSize) {
    std::string identifier(size, '\0');
    if (stream.Read(identifier.data(), size) == size) {
      const TGIFExtensionClass* known = AppExtensionList().Find(identifier);
      if (known != nullptr) return known;
    }
  }
  return &TGIFUnknownAppExtension::Class;
}

}  // namespace

const TGIFExtensionClass TGIFApplicationExtension::Class = {"TGIFApplicationExtension", nullptr,
                                                            &FindApplicationClass};
const TGIFExtensionClass TGIFAppExtNSLoop::Class =
    OwnExtensionClass<TGIFAppExtNSLoop>("TGIFAppExtNSLoop");
const TGIFExtensionClass TGIFUnknownAppExtension::Class =
    OwnExtensionClass<TGIFUnknownAppExtension>("TGIFUnknownAppExtension");

TGIFApplicationExtension::TGIFApplicationExtension(TGIFSubImage& frame)
    : TGIFExtension(frame), identifier_(kBlockSize, '\0') {}

void TGIFApplicationExtension::SetIdentifier(const std::string& identifier) {
  identifier_ = identifier;
  identifier_.resize(kBlockSize, '\0');
}

void TGIFApplicationExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  uint8_t size = 0;
  ReadGIFBytes(stream, &size, 1);
  if (size < kBlockSize && size != kShortBlockSize) throw GIFException(kGIFUnsupportedAppBlockSize);
  ReadGIFBytes(stream, identifier_.data(), kBlockSize);
  if (size == kShortBlockSize) {
    stream.Seek(-1, soCurrent);
  } else if (size > kBlockSize) {
    stream.Seek(size - kBlockSize, soCurrent);
  }
  LoadData(stream);
}

void TGIFApplicationExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  const uint8_t size = SavedBlockSize();
  WriteByte(stream, size);
  stream.WriteBuffer(identifier_.data(), kBlockSize);
  for (int i = kBlockSize; i < size; ++i) WriteByte(stream, 0);
  SaveData(stream);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage& frame) : TGIFApplicationExtension(frame) {
  SetIdentifier(kNetscapeLoopIdentifier);
}

void TGIFAppExtNSLoop::LoadData(TStream& stream) {
  uint8_t size = 0;
  while (ReadByte(stream, size) && size != 0) {
    uint8_t id = 0;
    ReadGIFBytes(stream, &id, 1);
    int left = size - 1;
    uint8_t value[4];
    if ((id & kLoopIdMask) == kLoopCountId) {
      if (left < 2) throw GIFException(kGIFInvalidData);
      ReadGIFBytes(stream, value, 2);
      loops_ = LoadLE16(value);
      left -= 2;
    } else if ((id & kLoopIdMask) == kBufferSizeId) {
      if (left < 4) throw GIFException(kGIFInvalidData);
      ReadGIFBytes(stream, value, 4);
      bufferSize_ = LoadLE32(value);
      left -= 4;
    }
    if (left > 0) stream.Seek(left, soCurrent);
  }
}

void TGIFAppExtNSLoop::SaveData(TStream& stream) {
  uint8_t loopBlock[4] = {3, kLoopCountId};
  StoreLE16(loopBlock + 2, loops_);
  stream.WriteBuffer(loopBlock, sizeof loopBlock);
  if (bufferSize_ != 0) {
    uint8_t bufferBlock[6] = {5, kBufferSizeId};
    StoreLE32(bufferBlock + 2, bufferSize_);
    stream.WriteBuffer(bufferBlock, sizeof bufferBlock);
  }
  WriteByte(stream, 0);
}

TGIFBlock::TGIFBlock(std::string data) : data_(std::move(data)) {
  if (data_.size() > kMaxSize) data_.resize(kMaxSize);
}

void TGIFBlock::SaveToStream(TStream& stream) const {
  WriteByte(stream, Size());
  stream.WriteBuffer(data_.data(), Size());
}

void TGIFUnknownAppExtension::LoadData(TStream& stream) {
  blocks_.clear();
  for (std::string& data : ReadSubBlocks(stream)) blocks_.emplace_back(std::move(data));
}

// Unknown data under the identifier of a known kind was read from a block of another size,
// and that kind may refuse it: a block one byte longer keeps it unknown when read back.
uint8_t TGIFUnknownAppExtension::SavedBlockSize() const {
  return AppExtensionList().Find(Identifier()) != nullptr ? kBlockSize + 1 : kBlockSize;
}

void TGIFUnknownAppExtension::SaveData(TStream& stream) {
  for (const TGIFBlock& block : blocks_) block.SaveToStream(stream);
  WriteByte(stream, 0);
}
