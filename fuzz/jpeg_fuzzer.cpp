// JPEG files from arbitrary bytes, fed whole: loading reads the header and refuses
// non-JPEG data with EJPEG; decoding must end in an image or EJPEG, never in a crash or an
// out-of-bounds access. The decoding settings come from the file's last byte (past the
// end-of-image marker a real file ends with, so it is read as it is). Every picture is
// decoded; one of a size worth drawing is drawn as the fetch job draws a download, encoded
// again with settings from the same byte, and must decode to its own size.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/drawn_pixels.h"
#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

void ApplySettings(TJPEGImage& image, uint8_t choice) {
  image.SetScale(static_cast<TJPEGScale>(choice & 3));
  image.SetPixelFormat(choice & 4 ? jf8Bit : jf24Bit);
  image.SetGrayscale(choice & 8);
  image.SetPerformance(choice & 16 ? jpBestSpeed : jpBestQuality);
  image.SetProgressiveDisplay(choice & 32);
  image.SetSmoothing(choice & 64);
  if (choice & 128) image.SetPalette({{0, 0, 0}, {255, 255, 255}, {255, 0, 0}});
}

void EncodeAgain(TBitmap& decoded, uint8_t choice) {
  TJPEGImage encoder;
  encoder.SetCompressionQuality(choice % 101);
  encoder.SetGrayscale(choice & 1);
  encoder.SetProgressiveEncoding(choice & 2);
  encoder.Assign(decoded);
  TMemoryStream encoded;
  encoder.SaveToStream(encoded);
  encoded.SetPosition(0);
  TJPEGImage back;
  back.LoadFromStream(encoded);
  if (back.Width() != decoded.Width() || back.Height() != decoded.Height()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t choice = data[size - 1];
  TJPEGImage image;
  ApplySettings(image, choice);
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  try {
    image.LoadFromStream(stream);
    image.Bitmap();
    if (!DrawnAfterReading(image.Width(), image.Height())) return 0;
    TBitmap preview;
    preview.SetHeight(image.Height());
    preview.SetWidth(image.Width());
    preview.Canvas().Draw(0, 0, image);
    if (!preview.Empty()) EncodeAgain(preview, choice);
  } catch (const EJPEG&) {
  }
  return 0;
}
