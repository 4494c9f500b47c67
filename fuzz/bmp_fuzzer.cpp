// BMP and icon files from arbitrary bytes: the reader must refuse bad data with its error
// and never read or write out of bounds; what it accepts must draw, and a picture of a size
// worth drawing whole must also save and read back to the same pixels.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/drawn_pixels.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

void CheckRoundTrip(TBitmap& bitmap) {
  TMemoryStream saved;
  bitmap.SaveToStream(saved);
  saved.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(saved);
  if (back.Dib().Bits != bitmap.Dib().Bits) std::abort();
}

void FuzzBitmap(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  TBitmap bitmap;
  try {
    bitmap.LoadFromStream(stream);
  } catch (const EInvalidGraphic&) {
    return;
  }
  TBitmap target;
  target.SetSize(13, 7);
  target.Canvas().StretchDraw(Rect(-3, 1, 11, 9), bitmap);
  if (!DrawnAfterReading(bitmap.Width(), bitmap.Height())) return;
  // As the fetch job sizes its preview: the height first.
  TBitmap preview;
  preview.SetHeight(bitmap.Height());
  preview.SetWidth(bitmap.Width());
  preview.Canvas().Draw(0, 0, bitmap);
  CheckRoundTrip(bitmap);
}

void FuzzIcon(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  TIcon icon;
  try {
    icon.LoadFromStream(stream);
  } catch (const EInvalidGraphic&) {
    return;
  }
  TBitmap target;
  target.SetSize(9, 9);
  target.Canvas().StretchDraw(Rect(0, 0, 9, 9), icon);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  FuzzBitmap(bytes);
  FuzzIcon(bytes);
  return 0;
}
