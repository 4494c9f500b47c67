#include "tests/support/test_bitmaps.h"

#include "imaging/canvas.h"

TBitmap Filled(int width, int height, TRGBColor color) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  bitmap.Canvas().FillRect(Rect(0, 0, width, height), color);
  return bitmap;
}

TBitmap Pattern(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  const int middle = (width + 1) / 2;
  bitmap.Canvas().FillRect(Rect(0, 0, middle, height), {200, 40, 40});
  bitmap.Canvas().FillRect(Rect(middle, 0, width, height / 2), {40, 40, 200});
  return bitmap;
}
