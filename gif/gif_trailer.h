#pragma once
// The byte 0x3B that ends a GIF file.

#include "gif/gif_item.h"

class TGIFTrailer : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  // Warns when the byte read is not the trailer; nothing left to read is no defect.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream);
};
