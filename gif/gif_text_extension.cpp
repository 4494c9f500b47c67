#include "gif/gif_text_extension.h"

#include "gif/stream_bytes.h"
#include "gif/sub_blocks.h"
#include "imaging/byte_order.h"

const TGIFExtensionClass TGIFTextExtension::Class =
    OwnExtensionClass<TGIFTextExtension>("TGIFTextExtension");

uint16_t TGIFTextExtension::GetField(int at) const {
  return LoadLE16(header_.data() + at);
}

void TGIFTextExtension::SetField(int at, uint16_t value) {
  StoreLE16(header_.data() + at, value);
}

void TGIFTextExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  ReadGIFBytes(stream, header_.data(), header_.size());
  text_ = ReadSubBlocks(stream);
}

void TGIFTextExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.WriteBuffer(header_.data(), header_.size());
  WriteSubBlocks(stream, text_);
}
