#include "imaging/canvas.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "imaging/bitmap.h"

namespace {

// Which source pixels leave the destination unchanged.
struct TKeepRule {
  const TDib* mask = nullptr;
  std::optional<TRGBColor> key;
  bool Any() const { return mask || key; }
};

TRect Intersect(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

TRect WholeOf(const TDib& dib) {
  return {0, 0, dib.Width, dib.Height};
}

// The source coordinate that destination offset d samples, at pixel centres.
int SourceOf(int d, int sourceStart, int sourceLength, int destLength) {
  return sourceStart +
         static_cast<int>((int64_t{2} * d + 1) * sourceLength / (int64_t{2} * destLength));
}

// Source and target store pixels alike, so raw values can be copied.
bool SameLayout(const TDib& source, const TDib& target) {
  return source.PixelFormat == target.PixelFormat && source.BitFields == target.BitFields &&
         (!IsIndexed(source.PixelFormat) || source.Palette == target.Palette);
}

constexpr int kTrueColorBytes = 3;
constexpr int kMaxIndices = 256;
using TBgr = std::array<uint8_t, kTrueColorBytes>;

// The stored bytes of every index of an indexed source on a 24-bit target, or nothing when
// the pixels cannot go that way; indices past the palette show black.
std::vector<TBgr> ExpansionTable(const TDib& source, const TDib& target, const TKeepRule& keep) {
  if (!IsIndexed(source.PixelFormat) || target.PixelFormat != pf24bit || keep.Any()) return {};
  std::vector<TBgr> table(kMaxIndices, TBgr{});
  const size_t entries = std::min(source.Palette.size(), table.size());
  for (size_t i = 0; i < entries; ++i) {
    const TRGBColor& color = source.Palette[i];
    table[i] = {color.Blue, color.Green, color.Red};
  }
  return table;
}

class TStretcher {
 public:
  TStretcher(TDib& target, const TRect& dest, const TDib& source, const TRect& sourceRect,
             const TKeepRule& keep)
      : target_(target),
        dest_(dest),
        source_(source),
        sourceRect_(sourceRect),
        keep_(keep),
        visible_(Intersect(dest, WholeOf(target))),
        sameLayout_(SameLayout(source, target)),
        expansion_(ExpansionTable(source, target, keep)),
        writer_(target) {}

  void Run() {
    if (dest_.IsEmpty() || sourceRect_.IsEmpty() || source_.Empty() || visible_.IsEmpty()) return;
    for (int x = visible_.Left; x < visible_.Right; ++x)
      columns_.push_back(
          SourceOf(x - dest_.Left, sourceRect_.Left, sourceRect_.Width(), dest_.Width()));
    for (int y = visible_.Top; y < visible_.Bottom; ++y) {
      const int sy = SourceOf(y - dest_.Top, sourceRect_.Top, sourceRect_.Height(), dest_.Height());
      if (sy >= 0 && sy < source_.Height) StretchRow(target_.Row(y), sy);
    }
  }

 private:
  // A whole unscaled row of whole bytes is one copy.
  bool CopyRun(uint8_t* to, const uint8_t* from) {
    const int bits = BitsPerPixel(source_.PixelFormat);
    const int first = columns_.front();
    if (!sameLayout_ || keep_.Any() || bits < 8 || sourceRect_.Width() != dest_.Width() ||
        first < 0 || columns_.back() >= source_.Width)
      return false;
    const int bytes = bits / 8;
    std::memmove(to + visible_.Left * bytes, from + first * bytes, columns_.size() * bytes);
    return true;
  }

  // An indexed row onto a 24-bit one, by table: a received chart is drawn this way. Table and
  // width are kept in locals, as the byte stores could alias them.
  bool ExpandRun(uint8_t* to, const uint8_t* from) {
    if (expansion_.empty()) return false;
    const bool byteIndices = source_.PixelFormat == pf8bit;
    const TBgr* table = expansion_.data();
    const int width = source_.Width;
    uint8_t* out = to + visible_.Left * kTrueColorBytes;
    for (const int sx : columns_) {
      if (sx >= 0 && sx < width) {
        const uint32_t index = byteIndices ? from[sx] : source_.IndexOfRow(from, sx);
        std::memcpy(out, table[index].data(), kTrueColorBytes);
      }
      out += kTrueColorBytes;
    }
    return true;
  }

  void StretchRow(uint8_t* to, int sy) {
    const uint8_t* from = source_.Row(sy);
    if (CopyRun(to, from) || ExpandRun(to, from)) return;
    const TDib* mask = keep_.mask;
    const uint8_t* maskRow = mask && sy < mask->Height ? mask->Row(sy) : nullptr;
    for (size_t i = 0; i < columns_.size(); ++i) {
      const int sx = columns_[i];
      const int x = visible_.Left + static_cast<int>(i);
      if (sx < 0 || sx >= source_.Width) continue;
      if (maskRow && sx < mask->Width && mask->IndexOfRow(maskRow, sx) != 0) continue;
      if (sameLayout_ && !keep_.key) {
        const uint32_t value = source_.IndexOfRow(from, sx);
        if (!IsIndexed(source_.PixelFormat) || value < source_.Palette.size()) {
          target_.SetIndexOfRow(to, x, value);
          continue;
        }
      }
      const TRGBColor color = source_.PixelOfRow(from, sx);
      if (keep_.key && color == *keep_.key) continue;
      writer_.Write(to, x, color);
    }
  }

  TDib& target_;
  const TRect dest_;
  const TDib& source_;
  const TRect sourceRect_;
  const TKeepRule keep_;
  const TRect visible_;
  const bool sameLayout_;
  const std::vector<TBgr> expansion_;
  TPixelWriter writer_;
  std::vector<int> columns_;
};

void Stretch(TDib& target, const TRect& dest, const TDib& source, const TRect& sourceRect,
             const TKeepRule& keep) {
  if (&source == &target) {
    const TDib copy = source;
    TStretcher(target, dest, copy, sourceRect, keep).Run();
    return;
  }
  TStretcher(target, dest, source, sourceRect, keep).Run();
}

}  // namespace

TRect TCanvas::ClipRect() const {
  return WholeOf(bitmap_.Dib());
}

void TCanvas::FillRect(const TRect& R, TRGBColor Color) {
  const TRect visible = Intersect(R, WholeOf(bitmap_.Dib()));
  if (visible.IsEmpty()) return;
  TDib& dib = bitmap_.OwnDib();
  TPixelWriter writer(dib);
  for (int y = visible.Top; y < visible.Bottom; ++y)
    for (int x = visible.Left; x < visible.Right; ++x) writer.Write(dib.Row(y), x, Color);
  bitmap_.Modified();
}

void TCanvas::Draw(int X, int Y, TGraphic& Graphic) {
  Graphic.Draw(*this, Bounds(X, Y, Graphic.Width(), Graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& R, TGraphic& Graphic) {
  Graphic.Draw(*this, R);
}

void TCanvas::CopyRect(const TRect& Dest, const TCanvas& Source, const TRect& SourceRect) {
  TDib& target = bitmap_.OwnDib();
  Stretch(target, Dest, Source.bitmap_.Dib(), SourceRect, {});
  bitmap_.Modified();
}

void TCanvas::StretchBitmap(const TRect& Dest, const TBitmap& Source) {
  StretchDib(Dest, Source.Dib());
}

void TCanvas::StretchDib(const TRect& Dest, const TDib& Source) {
  TDib& target = bitmap_.OwnDib();
  Stretch(target, Dest, Source, WholeOf(Source), {});
  bitmap_.Modified();
}

void TCanvas::MaskedStretch(const TRect& Dest, const TBitmap& Source, const TBitmap& Mask) {
  TDib& target = bitmap_.OwnDib();
  Stretch(target, Dest, Source.Dib(), WholeOf(Source.Dib()), {&Mask.Dib(), std::nullopt});
  bitmap_.Modified();
}

void TCanvas::TransparentStretch(const TRect& Dest, const TBitmap& Source, TRGBColor Key) {
  TDib& target = bitmap_.OwnDib();
  Stretch(target, Dest, Source.Dib(), WholeOf(Source.Dib()), {nullptr, Key});
  bitmap_.Modified();
}

TRGBColor TCanvas::Pixel(int X, int Y) const {
  const TDib& dib = bitmap_.Dib();
  if (X < 0 || Y < 0 || X >= dib.Width || Y >= dib.Height) return clBlack;
  return dib.PixelOfRow(dib.Row(Y), X);
}

void TCanvas::SetPixel(int X, int Y, TRGBColor Color) {
  if (X < 0 || Y < 0 || X >= bitmap_.Width() || Y >= bitmap_.Height()) return;
  TDib& dib = bitmap_.OwnDib();
  TPixelWriter(dib).Write(dib.Row(Y), X, Color);
  bitmap_.Modified();
}
