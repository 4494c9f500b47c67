#include "imaging/tiff_orientation.h"

#include <tiffio.h>

#include <utility>

namespace {

// The stored pixel (column, row) that shows at (x, y) of the upright picture.
struct TStoredAt {
  uint16_t orientation;
  int width;   // stored
  int height;  // stored

  std::pair<int, int> operator()(int x, int y) const {
    switch (orientation) {
      case ORIENTATION_TOPRIGHT:
        return {width - 1 - x, y};
      case ORIENTATION_BOTRIGHT:
        return {width - 1 - x, height - 1 - y};
      case ORIENTATION_BOTLEFT:
        return {x, height - 1 - y};
      // Stored rows run down the shown columns from here on.
      case ORIENTATION_LEFTTOP:
        return {y, x};
      case ORIENTATION_RIGHTTOP:
        return {y, height - 1 - x};
      case ORIENTATION_RIGHTBOT:
        return {width - 1 - y, height - 1 - x};
      case ORIENTATION_LEFTBOT:
        return {width - 1 - y, x};
      default:
        return {x, y};
    }
  }
};

bool Transposed(uint16_t orientation) {
  return orientation >= ORIENTATION_LEFTTOP && orientation <= ORIENTATION_LEFTBOT;
}

}  // namespace

TDib UprightDib(const TDib& Stored, uint16_t Orientation) {
  if (Orientation <= ORIENTATION_TOPLEFT || Orientation > ORIENTATION_LEFTBOT) return Stored;
  TDib upright = Stored;
  if (Transposed(Orientation)) std::swap(upright.Width, upright.Height);
  upright.Bits.assign(static_cast<size_t>(upright.RowSize() * upright.Height), 0);
  const TStoredAt storedAt{Orientation, Stored.Width, Stored.Height};
  for (int y = 0; y < upright.Height; ++y) {
    uint8_t* row = upright.Row(y);
    for (int x = 0; x < upright.Width; ++x) {
      const auto [column, storedRow] = storedAt(x, y);
      upright.SetIndexOfRow(row, x, Stored.IndexOfRow(Stored.Row(storedRow), column));
    }
  }
  return upright;
}
