#include "gif/gif_extension.h"

#include "gif/gif_messages.h"
#include "gif/gif_sub_image.h"
#include "gif/stream_bytes.h"
#include "runtime/exceptions.h"

TGIFExtension::TGIFExtension(TGIFSubImage& frame) : TGIFItem(frame.Image()), frame_(frame) {}

void TGIFExtension::LoadFromStream(TStream& stream) {
  uint8_t start[2];
  ReadGIFBytes(stream, start, sizeof start);
  if (start[0] != kGIFExtensionIntroducer) throw GIFException(kGIFInvalidExtensionIntroducer);
  if (start[1] != ExtensionType()) throw GIFException(kGIFExtensionLabelMismatch);
}

void TGIFExtension::SaveToStream(TStream& stream) {
  const uint8_t start[2] = {kGIFExtensionIntroducer, ExtensionType()};
  stream.WriteBuffer(start, sizeof start);
}
