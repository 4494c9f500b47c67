#include "program/program_formats.h"

#include "gif/gif_codec.h"
#include "imaging/jpeg_image.h"
#include "imaging/png_image.h"

TProgramFormats::TProgramFormats(int screenBitsPerPixel)
    : jpeg_(RegisterJPEGFormats, UnregisterJPEGFormats),
      png_(RegisterPNGFormat, UnregisterPNGFormat) {
  GIFCodecStartup(screenBitsPerPixel);
}

TProgramFormats::~TProgramFormats() {
  GIFCodecShutdown();
}
