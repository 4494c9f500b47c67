// PNG files from arbitrary bytes: loading must end in an image or EInvalidGraphic, never
// in a crash, a leak or an out-of-bounds access; a loaded image of a size worth drawing
// is drawn as the fetch job draws a download and saved again. The fuzz build lets mutated files
// past the chunk CRCs and zlib's checksum, so that they reach the pixel rows.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/drawn_pixels.h"
#include "imaging/canvas.h"
#include "imaging/png_image.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPNGImage image;
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  try {
    image.LoadFromStream(stream);
    if (!DrawnAfterReading(image.Width(), image.Height())) return 0;
    TBitmap preview;
    preview.SetHeight(image.Height());
    preview.SetWidth(image.Width());
    preview.Canvas().Draw(0, 0, image);
    TMemoryStream saved;
    image.SaveToStream(saved);
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
