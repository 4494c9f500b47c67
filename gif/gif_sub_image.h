#pragma once
// One frame of a GIF: its extensions, image descriptor, local colour table and pixels (one
// colour index per byte, rows top to bottom, no padding).

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "gif/gif_block_bytes.h"
#include "gif/gif_color_map.h"
#include "gif/gif_extension_list.h"
#include "gif/gif_item.h"
#include "gif/uninitialized_allocator.h"
#include "imaging/color.h"
#include "imaging/rect.h"

class TBitmap;
class TCanvas;
class TGIFGraphicControlExtension;

class TGIFSubImage : public TGIFItem {
 public:
  static constexpr int kDescriptorSize = 10;
  // Packed byte of the image descriptor.
  static constexpr uint8_t kLocalColorTableFlag = 0x80;
  static constexpr uint8_t kInterlacedFlag = 0x40;
  static constexpr uint8_t kSortedFlag = 0x20;
  static constexpr uint8_t kColorTableSizeMask = 0x07;

  explicit TGIFSubImage(TGIFImage& image);
  ~TGIFSubImage() override;

  uint16_t Left() const { return GetField(1); }
  uint16_t Top() const { return GetField(3); }
  uint16_t Width() const { return GetField(5); }
  uint16_t Height() const { return GetField(7); }
  // Moving or sizing a frame beyond the logical screen enlarges the screen.
  void SetLeft(uint16_t left);
  void SetTop(uint16_t top);
  // A new size gives a new, zero-filled pixel buffer.
  void SetWidth(uint16_t width);
  void SetHeight(uint16_t height);
  uint8_t PackedFields() const { return descriptor_[9]; }
  void SetPackedFields(uint8_t packed) { descriptor_[9] = packed; }
  const std::array<uint8_t, kDescriptorSize>& Descriptor() const { return descriptor_; }
  bool Interlaced() const { return (PackedFields() & kInterlacedFlag) != 0; }
  void SetInterlaced(bool interlaced);

  TGIFColorMap& ColorMap() { return colorMap_; }
  // The local table when it has entries, else the global one when that has, else the
  // (empty) local one.
  TGIFColorMap& ActiveColorMap();
  TGIFExtensionList& Extensions() { return extensions_; }

  // No pixels, or no width or height. Like every pixel access, it decodes the image data
  // read from a file first, when that has not been done.
  bool Empty();
  TGIFVersion Version() const override;

  uint8_t* Data();
  int64_t DataSize();
  // Replaces the pixels by width * height bytes of the fill index.
  void NewData(uint8_t fill);
  // Replaces the pixels by width * height bytes left as they are, for a caller that writes
  // every one of them before anything reads them (the decoder, also when it fails).
  uint8_t* NewUnfilledData();
  // Leaves the frame without pixels.
  void ReleaseData();
  // Pixels decoded, or image data read from a file that can fill the frame, waiting to be.
  bool HoldsPixels() const { return !data_.empty() || !imageData_.empty(); }
  // Decodes the image data read from a file now, when that has not been done: a file's
  // frames are decoded when their pixels are first asked for, so that a picture costs only
  // the memory of the frames it shows. A frame whose data ends before its last pixel keeps
  // what it has, and marks its image truncated.
  void Decode();
  uint8_t* Scanline(int row);
  uint8_t Pixels(int x, int y);
  void SetPixels(int x, int y, uint8_t index);

  // On when a graphic control extension of this frame has its transparent bit set.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent) { transparent_ = transparent; }
  // The first graphic control extension made for this frame; the extension list owns it.
  TGIFGraphicControlExtension* GraphicControlExtension() const { return graphicControl_; }
  void SetGraphicControlExtension(TGIFGraphicControlExtension* extension) {
    graphicControl_ = extension;
  }

  void Clear();
  // Extensions, then the image descriptor, local table and image data when present.
  void LoadFromStream(TStream& stream) override;

  // The frame as an 8-bit bitmap whose 256-entry colour table is the frame palette padded
  // with black: built on first use, kept until the pixels, the size or the palette change.
  // None for an empty frame (or when the progress handler aborted the build).
  TBitmap* Bitmap();
  // The frame bitmap when Draw with transparent would show just its pixels, whatever the
  // canvas held: no pixel is left to show through. None for an empty frame.
  TBitmap* OpaqueBitmap(bool transparent);
  // The palette of the frame bitmap: its own table's, else the image's.
  TPalette Palette();
  // Draws the frame into rect of the canvas: scaled as its place on the logical screen
  // maps onto rect, or with tile at its natural size repeated every screen width and
  // height. With transparent, its transparent pixels keep the destination.
  void Draw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile);
  // Where Draw puts the frame for rect: scaled, or each tile.
  TRect ScaledBounds(const TRect& rect) const;
  std::vector<TRect> TileBounds(const TRect& rect) const;
  // Drops the bitmap, the mask and the palette built from the local table.
  void FreeBitmap();
  // The local table changed.
  void ColorMapChanged();

 private:
  uint16_t GetField(int at) const;
  void SetField(int at, uint16_t value);
  void LoadImage(TStream& stream);
  void ReadImageData(TStream& stream);
  void FitScreenToFrame();
  void BuildBitmap();
  void DrawAt(TCanvas& canvas, const TRect& target, bool transparent);
  // The logical screen's size for scaling and tiling.
  int ScreenWidth() const;
  int ScreenHeight() const;

  std::vector<uint8_t, TUninitializedAllocator<uint8_t>> data_;
  // The code size byte and the sub-blocks of the image data as read, until decoded.
  std::vector<uint8_t> imageData_;
  TGIFLocalColorMap colorMap_;
  std::array<uint8_t, kDescriptorSize> descriptor_{kGIFImageSeparator};
  TGIFExtensionList extensions_;
  bool transparent_ = false;
  TGIFGraphicControlExtension* graphicControl_ = nullptr;

  std::unique_ptr<TBitmap> bitmap_;
  // 1 bit per pixel, set where the pixel has the transparent index; only kept when a bit
  // is set.
  std::unique_ptr<TBitmap> mask_;
  bool needMask_ = true;
  TPalette bitmapPalette_;
  std::optional<TPalette> palette_;
};
