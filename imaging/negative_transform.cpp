#include "imaging/negative_transform.h"

#include "imaging/dib_graphic.h"

namespace {

void InvertBytes(uint8_t* bytes, int64_t count) {
  for (int64_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
}

}  // namespace

void TNegativeTransform::Apply(TDibGraphic& Image) const {
  const TImageFormat format = Image.ImageFormat();
  if (format == ifColor16 || format == ifColor256) {
    TPalette palette = Image.Palette();
    for (TRGBColor& color : palette)
      color = {static_cast<uint8_t>(255 - color.Red), static_cast<uint8_t>(255 - color.Green),
               static_cast<uint8_t>(255 - color.Blue)};
    Image.SetPalette(palette);
    return;
  }
  const int64_t usedBytes = (int64_t{Image.Width()} * BitsPerPixel(PixelFormatOf(format)) + 7) / 8;
  for (int y = 0; y < Image.Height(); ++y) InvertBytes(Image.ScanLine(y), usedBytes);
  Image.Modified();
}
