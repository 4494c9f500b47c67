#include "gif/gif_codec.h"

#include "gif/gif_defaults.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "imaging/picture.h"

namespace {
constexpr int kMaxPalettedDisplayBits = 8;
}

void GIFCodecStartup(int displayBitsPerPixel, int displayPlanes) {
  TPicture::RegisterFileFormat(kGIFExtension, kGIFDescription, TGIFImage::StaticClass());
  if (displayBitsPerPixel * displayPlanes <= kMaxPalettedDisplayBits) {
    GIFImageDefaults().PalettedDisplay = true;
  }
}

void GIFCodecShutdown() {
  TPicture::UnregisterGraphicClass(TGIFImage::StaticClass());
}
