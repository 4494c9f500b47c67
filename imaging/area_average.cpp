#include "imaging/area_average.h"

#include <algorithm>

namespace {

// The source span [first, last) that target index t of count covers.
struct TSpan {
  int first;
  int last;
};

TSpan SpanOf(int t, int count, int sourceLength) {
  const auto first = static_cast<int>(int64_t{t} * sourceLength / count);
  const auto last = static_cast<int>(int64_t{t + 1} * sourceLength / count);
  return {first, std::max(last, first + 1)};
}

}  // namespace

TDib AreaAverage(const TDib& Source, int Width, int Height) {
  TDib target = MakeDib(Width, Height, pf24bit, {});
  if (Source.Empty()) return target;
  TPixelWriter writer(target);
  for (int ty = 0; ty < Height; ++ty) {
    const TSpan rows = SpanOf(ty, Height, Source.Height);
    uint8_t* out = target.Row(ty);
    for (int tx = 0; tx < Width; ++tx) {
      const TSpan columns = SpanOf(tx, Width, Source.Width);
      int64_t red = 0, green = 0, blue = 0;
      for (int y = rows.first; y < rows.last; ++y) {
        const uint8_t* row = Source.Row(y);
        for (int x = columns.first; x < columns.last; ++x) {
          const TRGBColor color = Source.PixelOfRow(row, x);
          red += color.Red;
          green += color.Green;
          blue += color.Blue;
        }
      }
      const int64_t count = int64_t{rows.last - rows.first} * (columns.last - columns.first);
      writer.Write(out, tx,
                   {static_cast<uint8_t>((red + count / 2) / count),
                    static_cast<uint8_t>((green + count / 2) / count),
                    static_cast<uint8_t>((blue + count / 2) / count)});
    }
  }
  return target;
}
