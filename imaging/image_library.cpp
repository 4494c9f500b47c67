#include "imaging/image_library.h"

#include <vector>

#include "imaging/dib_formats.h"
#include "imaging/picture.h"
#include "imaging/ppm_graphic.h"
#include "imaging/tiff_graphic.h"

namespace {

struct TLibraryFormat {
  const char* extension;
  const char* description;
  TGraphicClass graphicClass;
};

const std::vector<TLibraryFormat>& LibraryFormats() {
  static const std::vector<TLibraryFormat> formats = {
      {"PPM", "Portable Pixelmap", TPpmGraphic::StaticClass()},
      {"PGM", "Portable Greymap", TPpmGraphic::StaticClass()},
      {"PBM", "Portable Bitmap", TPpmGraphic::StaticClass()},
      {"TIF", "TIFF file", TTiffGraphic::StaticClass()},
      {"TIFF", "TIFF file", TTiffGraphic::StaticClass()},
  };
  return formats;
}

}  // namespace

TImageLibraryFormats::TImageLibraryFormats() {
  for (const TLibraryFormat& format : LibraryFormats()) {
    TPicture::RegisterFileFormat(format.extension, format.description, format.graphicClass);
    DibFormats().Add(format.extension, format.graphicClass);
  }
}

TImageLibraryFormats::~TImageLibraryFormats() {
  for (TGraphicClass graphicClass : {TPpmGraphic::StaticClass(), TTiffGraphic::StaticClass()}) {
    TPicture::UnregisterGraphicClass(graphicClass);
    DibFormats().Remove(graphicClass);
  }
}
