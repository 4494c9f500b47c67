#include "gif/lzw_pixel_output.h"

#include <algorithm>
#include <cstring>

#include "gif/gif_sub_image.h"
#include "gif/interlace.h"

TPixelOutput::TPixelOutput(TGIFSubImage& frame, uint8_t fill) : frame_(frame), fill_(fill) {
  const auto size = static_cast<size_t>(frame.Width()) * frame.Height();
  if (frame.Interlaced()) rows_ = std::make_unique_for_overwrite<uint8_t[]>(size);
  pixels_ = frame.NewUnfilledData();
  Next = rows_ ? rows_.get() : pixels_;
  End = Next + size;
}

TPixelOutput::~TPixelOutput() {
  std::fill(Next, End, fill_);
  if (rows_) MoveRowsIntoPlace();
}

void TPixelOutput::MoveRowsIntoPlace() {
  // A frame with no pixels has no buffer to copy into, not even an empty row.
  if (frame_.Width() == 0 || frame_.Height() == 0) return;
  const size_t width = frame_.Width();
  TInterlacedRows order(frame_.Height());
  const uint8_t* row = rows_.get();
  do {
    std::memcpy(pixels_ + static_cast<size_t>(order.Row()) * width, row, width);
    row += width;
  } while (order.Next());
}
