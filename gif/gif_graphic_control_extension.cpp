#include "gif/gif_graphic_control_extension.h"

#include "gif/gif_messages.h"
#include "gif/gif_sub_image.h"
#include "gif/stream_bytes.h"
#include "imaging/byte_order.h"

const TGIFExtensionClass TGIFGraphicControlExtension::Class =
    OwnExtensionClass<TGIFGraphicControlExtension>("TGIFGraphicControlExtension");

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage& frame)
    : TGIFExtension(frame) {
  if (frame.GraphicControlExtension() == nullptr) frame.SetGraphicControlExtension(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (Transparent()) Frame().SetTransparent(false);
  if (Frame().GraphicControlExtension() == this) Frame().SetGraphicControlExtension(nullptr);
}

void TGIFGraphicControlExtension::SetFlag(uint8_t flag, bool on) {
  fields_[1] = on ? fields_[1] | flag : fields_[1] & ~flag;
}

void TGIFGraphicControlExtension::SetTransparent(bool transparent) {
  SetFlag(kTransparentFlag, transparent);
  Frame().SetTransparent(transparent);
}

void TGIFGraphicControlExtension::SetUserInput(bool userInput) {
  SetFlag(kUserInputFlag, userInput);
}

void TGIFGraphicControlExtension::SetDisposal(uint8_t disposal) {
  fields_[1] = static_cast<uint8_t>((fields_[1] & ~kDisposalMask) |
                                    ((disposal << kDisposalShift) & kDisposalMask));
}

uint16_t TGIFGraphicControlExtension::Delay() const {
  return LoadLE16(fields_.data() + 2);
}

void TGIFGraphicControlExtension::SetDelay(uint16_t delay) {
  StoreLE16(fields_.data() + 2, delay);
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(uint8_t index) {
  const int count = Frame().ActiveColorMap().Count();
  if (count > 0 && index >= count) {
    Warning(kGIFWarningSeverity, kGIFInvalidColorIndex);
    index = 0;
  }
  fields_[4] = index;
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  if (stream.Read(fields_.data(), fields_.size()) != static_cast<int64_t>(fields_.size())) {
    Warning(kGIFWarningSeverity, kGIFPrematureEndOfData);
  } else if (Transparent()) {
    Frame().SetTransparent(true);
  }
}

void TGIFGraphicControlExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.WriteBuffer(fields_.data(), fields_.size());
}
