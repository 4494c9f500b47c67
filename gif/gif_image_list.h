#pragma once
// The frames of a GIF image, in file order.

#include "gif/gif_list.h"
#include "gif/gif_sub_image.h"

class TGIFImageList : public TGIFList<TGIFSubImage> {
 public:
  explicit TGIFImageList(TGIFImage& image) : TGIFList(&image), image_(image) {}

  // The block loop: frames until the trailer, an unknown block or the end of the stream.
  // The trailer byte is left unread.
  void LoadFromStream(TStream& stream);

 private:
  TGIFImage& image_;
};
