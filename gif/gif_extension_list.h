#pragma once
// The extensions that precede one frame's image in the file, in file order.

#include "gif/gif_extension.h"
#include "gif/gif_list.h"

class TGIFExtensionList : public TGIFList<TGIFExtension> {
 public:
  explicit TGIFExtensionList(TGIFSubImage& frame);

  // Reads extensions until the byte that starts the image (or ends the file); that byte is
  // left unread.
  void LoadFromStream(TStream& stream);

 private:
  TGIFSubImage& frame_;
};

// The class that should load the extension whose introducer was just read; nullptr for
// none. The stream is left where it was.
const TGIFExtensionClass* FindExtensionClass(TStream& stream);
