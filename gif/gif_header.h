#pragma once
// The logical screen of a GIF: its size, background and global colour table.

#include <array>
#include <cstdint>

#include "gif/gif_color_map.h"
#include "gif/gif_item.h"

class TGIFHeader : public TGIFItem {
 public:
  static constexpr int kDescriptorSize = 7;
  // Packed byte of the logical screen descriptor.
  static constexpr uint8_t kGlobalColorTableFlag = 0x80;
  static constexpr uint8_t kSortedFlag = 0x08;
  static constexpr uint8_t kColorTableSizeMask = 0x07;

  explicit TGIFHeader(TGIFImage* image) : TGIFItem(image), colorMap_(*this) {}

  uint16_t Width() const { return GetField(0); }
  uint16_t Height() const { return GetField(2); }
  void SetWidth(uint16_t width) { SetField(0, width); }
  void SetHeight(uint16_t height) { SetField(2, height); }
  uint8_t PackedFields() const { return descriptor_[4]; }
  void SetPackedFields(uint8_t packed) { descriptor_[4] = packed; }
  uint8_t BackgroundColorIndex() const { return descriptor_[5]; }
  void SetBackgroundColorIndex(uint8_t index) { descriptor_[5] = index; }
  uint8_t AspectRatio() const { return descriptor_[6]; }
  void SetAspectRatio(uint8_t ratio) { descriptor_[6] = ratio; }
  const std::array<uint8_t, kDescriptorSize>& Descriptor() const { return descriptor_; }

  TGIFColorMap& ColorMap() { return colorMap_; }
  const TGIFColorMap& ColorMap() const { return colorMap_; }
  // The global table's colour at the background index (with its warning and fallback).
  uint32_t BackgroundColor() { return colorMap_.Colors(BackgroundColorIndex()); }

  // A sorted global table or an aspect ratio can only be written as 89a.
  TGIFVersion Version() const override;
  void Clear();
  // Signature (also 4 bytes further on), logical screen descriptor and global table.
  void LoadFromStream(TStream& stream) override;

 private:
  uint16_t GetField(int at) const;
  void SetField(int at, uint16_t value);

  std::array<uint8_t, kDescriptorSize> descriptor_{};
  TGIFGlobalColorMap colorMap_;
};
