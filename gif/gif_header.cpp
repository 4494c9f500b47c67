#include "gif/gif_header.h"

#include "gif/stream_bytes.h"
#include "imaging/byte_order.h"

uint16_t TGIFHeader::GetField(int at) const {
  return LoadLE16(descriptor_.data() + at);
}

void TGIFHeader::SetField(int at, uint16_t value) {
  StoreLE16(descriptor_.data() + at, value);
}

TGIFVersion TGIFHeader::Version() const {
  return colorMap_.Sorted() || AspectRatio() != 0 ? gv89a : gv87a;
}

void TGIFHeader::Clear() {
  colorMap_.Clear();
  descriptor_.fill(0);
}
