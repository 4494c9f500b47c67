#pragma once
// Plain text extension (label 0x01): a text grid drawn over the image.

#include <array>
#include <string>
#include <vector>

#include "gif/gif_extension.h"

class TGIFTextExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0x01;
  static constexpr uint8_t kBlockSize = 12;
  static const TGIFExtensionClass Class;

  explicit TGIFTextExtension(TGIFSubImage& frame) : TGIFExtension(frame) {}

  uint8_t ExtensionType() const override { return kLabel; }
  uint16_t Left() const { return GetField(1); }
  uint16_t Top() const { return GetField(3); }
  uint16_t GridWidth() const { return GetField(5); }
  uint16_t GridHeight() const { return GetField(7); }
  void SetLeft(uint16_t value) { SetField(1, value); }
  void SetTop(uint16_t value) { SetField(3, value); }
  void SetGridWidth(uint16_t value) { SetField(5, value); }
  void SetGridHeight(uint16_t value) { SetField(7, value); }
  uint8_t CellWidth() const { return header_[9]; }
  uint8_t CellHeight() const { return header_[10]; }
  uint8_t ForegroundColorIndex() const { return header_[11]; }
  uint8_t BackgroundColorIndex() const { return header_[12]; }
  void SetCellWidth(uint8_t value) { header_[9] = value; }
  void SetCellHeight(uint8_t value) { header_[10] = value; }
  void SetForegroundColorIndex(uint8_t value) { header_[11] = value; }
  void SetBackgroundColorIndex(uint8_t value) { header_[12] = value; }

  // One line per sub-block, exactly its bytes.
  std::vector<std::string>& Text() { return text_; }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

 private:
  uint16_t GetField(int at) const;
  void SetField(int at, uint16_t value);

  std::array<uint8_t, 13> header_{kBlockSize};
  std::vector<std::string> text_;
};
