#pragma once
// GIF colour tables: the global one of the logical screen and the local one of a frame.

#include <cstdint>
#include <string>
#include <vector>

#include "gif/gif_warning.h"
#include "imaging/color.h"
#include "runtime/stream.h"

class TGIFHeader;
class TGIFSubImage;

// A colour as one number: red + green * 256 + blue * 65536.
inline uint32_t ColorValue(TRGBColor color) {
  return color.Red | color.Green << 8 | static_cast<uint32_t>(color.Blue) << 16;
}

inline TRGBColor ColorFromValue(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16)};
}

class TGIFColorMap : public TGIFWarningSource {
 public:
  static constexpr int kMaxColors = 256;

  TGIFColorMap() = default;
  TGIFColorMap(const TGIFColorMap&) = delete;
  TGIFColorMap& operator=(const TGIFColorMap&) = delete;

  int Count() const { return static_cast<int>(colors_.size()); }
  int Capacity() const { return capacity_; }
  const TPalette& Entries() const { return colors_; }
  // Set when the table has been reordered by how often its colours are used.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted) { sorted_ = sorted; }

  void Clear();
  // Replaces the table by count entries of three bytes each.
  void LoadFromStream(TStream& stream, int count);
  // All entries, then black ones up to the power of two the table's bits per pixel hold.
  void SaveToStream(TStream& stream) const;
  // 0 for an empty table, else the smallest b >= 1 with 2^b >= Count().
  int BitsPerPixel() const;

  // The colour at index; outside the table a warning, and entry 0 is used.
  uint32_t Colors(int index);
  // -1 when absent. A sorted table answers the first match, an unsorted one the last.
  int IndexOf(uint32_t color) const;
  int Add(uint32_t color);
  int AddUnique(uint32_t color);
  void Delete(int index);
  // Replaces the table by up to 256 blue-green-red-reserved quads.
  void ImportColorTable(const uint8_t* quads, int count);
  void Assign(const TGIFColorMap& source);

  virtual void Warning(int severity, const std::string& message) = 0;
  // Called after every change made through this interface except loading and clearing.
  virtual void Changed() = 0;

 private:
  void EnsureCapacity(int count);

  TPalette colors_;
  int capacity_ = 0;
  bool sorted_ = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader& header) : header_(header) {}
  void Warning(int severity, const std::string& message) override;
  void Changed() override;

 private:
  TGIFHeader& header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage& frame) : frame_(frame) {}
  void Warning(int severity, const std::string& message) override;
  void Changed() override;

 private:
  TGIFSubImage& frame_;
};
