// A frame as a palette bitmap with its transparency mask, and drawing it into a rectangle.

#include <new>

#include "gif/color_lookup.h"
#include "gif/dither_engine.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/gif_sub_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"

namespace {

constexpr int kProgressRows = 32;
constexpr int kPercent = 100;

// a * b / c rounded to the nearest, as the scaling of frame rectangles needs.
int MulDiv(int a, int b, int c) {
  const int64_t product = int64_t{a} * b;
  return static_cast<int>((product + c / 2) / c);
}

TDib NewDib(int width, int height, TPixelFormat format, TPalette palette) {
  TDib dib;
  dib.Width = width;
  dib.Height = height;
  dib.PixelFormat = format;
  dib.Palette = std::move(palette);
  dib.Bits.assign(static_cast<size_t>(dib.RowSize() * height), 0);
  return dib;
}

// Turns the pixel rows of a frame into the rows of its bitmap and its mask.
class TFrameRows {
 public:
  TFrameRows(TGIFSubImage& frame, TDib& dib, TDib* mask) : frame_(frame), dib_(dib), mask_(mask) {
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    transparentIndex_ = control != nullptr ? control->TransparentColorIndex() : -1;
  }
  virtual ~TFrameRows() = default;

  virtual void Row(int y) {
    const uint8_t* from = frame_.Scanline(y);
    std::copy(from, from + frame_.Width(), dib_.Row(y));
    if (mask_ == nullptr) return;
    for (int x = 0; x < frame_.Width(); ++x) {
      if (from[x] == transparentIndex_) SetMaskBit(y, x);
    }
  }
  bool AnyMasked() const { return anyMasked_; }

 protected:
  void SetMaskBit(int y, int x) {
    mask_->Row(y)[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    anyMasked_ = true;
  }

  TGIFSubImage& frame_;
  TDib& dib_;
  TDib* mask_;
  int transparentIndex_;
  bool anyMasked_ = false;
};

// The rows mapped to the nearest web colours with Floyd-Steinberg error diffusion;
// transparent pixels take no part in it.
class TWebPaletteRows : public TFrameRows {
 public:
  TWebPaletteRows(TGIFSubImage& frame, TDib& dib, TDib* mask)
      : TFrameRows(frame, dib, mask),
        colors_(frame.ActiveColorMap().Entries()),
        ditherer_(frame.Width(), lookup_) {
    TRGBColor chosen;
    const TRGBColor transparent = ColorOf(transparentIndex_);
    transparentWebIndex_ =
        lookup_.Lookup(transparent.Red, transparent.Green, transparent.Blue, chosen);
  }

  void Row(int y) override {
    const uint8_t* from = frame_.Scanline(y);
    uint8_t* to = dib_.Row(y);
    for (int x = ditherer_.Column(); x >= 0 && x < frame_.Width(); x = ditherer_.Column()) {
      if (mask_ != nullptr && from[x] == transparentIndex_) {
        to[x] = transparentWebIndex_;
        SetMaskBit(y, x);
        ditherer_.Skip();
        continue;
      }
      const TRGBColor color = ColorOf(from[x]);
      to[x] = ditherer_.Dither(color.Red, color.Green, color.Blue);
    }
    ditherer_.NextLine();
  }

 private:
  // Indices past the table are black, as in the frame bitmap's colour table.
  TRGBColor ColorOf(int index) const {
    return index >= 0 && static_cast<size_t>(index) < colors_.size() ? colors_[index] : clBlack;
  }

  const TPalette& colors_;
  TNetscapeColorLookup lookup_;
  TFloydSteinbergDitherer ditherer_;
  uint8_t transparentWebIndex_ = 0;
};

}  // namespace

TPalette TGIFSubImage::Palette() {
  if (bitmap_) return bitmapPalette_;
  if (palette_) return *palette_;
  if (Image()->WebPaletteMode()) return WebPalette();
  if (colorMap_.Count() == 0) return Image()->Palette();
  palette_ = colorMap_.Entries();
  return *palette_;
}

TBitmap* TGIFSubImage::Bitmap() {
  if (!bitmap_ && !Empty()) BuildBitmap();
  return bitmap_.get();
}

TBitmap* TGIFSubImage::OpaqueBitmap(bool transparent) {
  TBitmap* bitmap = Bitmap();
  return transparent && Transparent() && mask_ ? nullptr : bitmap;
}

void TGIFSubImage::BuildBitmap() {
  TGIFImage& image = *Image();
  image.RenderProgress(psStarting, 0);
  try {
    TPalette palette = Palette();
    TPalette table = palette;
    table.resize(kMaxPaletteEntries, clBlack);
    TDib dib = NewDib(Width(), Height(), pf8bit, std::move(table));
    const bool masking = Transparent() && needMask_ && !mask_;
    TDib mask = masking ? NewDib(Width(), Height(), pf1bit, {clBlack, clWhite}) : TDib{};
    std::unique_ptr<TFrameRows> rows =
        image.WebPaletteMode()
            ? std::make_unique<TWebPaletteRows>(*this, dib, masking ? &mask : nullptr)
            : std::make_unique<TFrameRows>(*this, dib, masking ? &mask : nullptr);
    for (int y = 0; y < Height(); ++y) {
      rows->Row(y);
      if (y % kProgressRows == 0) {
        image.RenderProgress(psRunning, static_cast<uint8_t>(y * kPercent / Height()));
      }
    }
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->SetDib(std::move(dib));
    bitmapPalette_ = std::move(palette);
    if (rows->AnyMasked()) {
      mask_ = std::make_unique<TBitmap>();
      mask_->SetDib(std::move(mask));
    }
    image.RenderProgress(psEnding, kPercent);
  } catch (const EAbort&) {
    bitmap_.reset();
    image.RenderProgress(psEnding, 0);
  } catch (const std::bad_alloc&) {
    bitmap_.reset();
    image.RenderProgress(psEnding, 0);
    throw GIFException(kGIFOutOfMemory);
  } catch (...) {
    bitmap_.reset();
    image.RenderProgress(psEnding, 0);
    throw;
  }
  image.FrameRendered();
  needMask_ = false;
}

void TGIFSubImage::FreeBitmap() {
  bitmap_.reset();
  mask_.reset();
  needMask_ = true;
}

void TGIFSubImage::ColorMapChanged() {
  palette_.reset();
  if (bitmap_ && bitmapPalette_ != colorMap_.Entries()) FreeBitmap();
}

void TGIFSubImage::DrawAt(TCanvas& canvas, const TRect& target, bool transparent) {
  if (transparent && Transparent() && mask_) {
    canvas.MaskedStretch(target, *bitmap_, *mask_);
  } else {
    canvas.StretchBitmap(target, *bitmap_);
  }
}

// A file may give a 0 x 0 screen with frames on it: the frame's own extent stands in.
int TGIFSubImage::ScreenWidth() const {
  return Image()->Width() > 0 ? Image()->Width() : Left() + Width();
}

int TGIFSubImage::ScreenHeight() const {
  return Image()->Height() > 0 ? Image()->Height() : Top() + Height();
}

TRect TGIFSubImage::ScaledBounds(const TRect& rect) const {
  return {rect.Left + MulDiv(Left(), rect.Width(), ScreenWidth()),
          rect.Top + MulDiv(Top(), rect.Height(), ScreenHeight()),
          rect.Left + MulDiv(Left() + Width(), rect.Width(), ScreenWidth()),
          rect.Top + MulDiv(Top() + Height(), rect.Height(), ScreenHeight())};
}

std::vector<TRect> TGIFSubImage::TileBounds(const TRect& rect) const {
  std::vector<TRect> tiles;
  for (int top = rect.Top + Top(); top < rect.Bottom; top += ScreenHeight()) {
    for (int left = rect.Left + Left(); left < rect.Right; left += ScreenWidth()) {
      tiles.push_back(Bounds(left, top, Width(), Height()));
    }
  }
  return tiles;
}

void TGIFSubImage::Draw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile) {
  if (Bitmap() == nullptr) return;
  if (!tile) {
    DrawAt(canvas, ScaledBounds(rect), transparent);
    return;
  }
  for (const TRect& target : TileBounds(rect)) DrawAt(canvas, target, transparent);
}
