#include "app/program_formats.h"

#include "gif/gif_codec.h"
#include "imaging/jpeg_image.h"

TProgramFormats::TJPEGFormats::TJPEGFormats() {
  RegisterJPEGFormats();
}

TProgramFormats::TJPEGFormats::~TJPEGFormats() {
  UnregisterJPEGFormats();
}

TProgramFormats::TProgramFormats(int screenBitsPerPixel) {
  GIFCodecStartup(screenBitsPerPixel);
}

TProgramFormats::~TProgramFormats() {
  GIFCodecShutdown();
}
