#include "gif/gif_color_map.h"

#include <algorithm>

#include "gif/gif_header.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/gif_sub_image.h"
#include "gif/stream_bytes.h"
#include "runtime/exceptions.h"

namespace {
constexpr int kBytesPerEntry = 3;
constexpr int kSmallCapacity = 16;
constexpr int kCapacityStep = 32;
}  // namespace

void TGIFColorMap::EnsureCapacity(int count) {
  if (count < capacity_) return;
  if (count <= kSmallCapacity) {
    capacity_ = kSmallCapacity;
  } else {
    capacity_ = std::min(kMaxColors, (count + kCapacityStep - 1) / kCapacityStep * kCapacityStep);
  }
  colors_.reserve(static_cast<size_t>(capacity_));
}

void TGIFColorMap::Clear() {
  colors_ = {};
  capacity_ = 0;
  sorted_ = false;
}

void TGIFColorMap::LoadFromStream(TStream& stream, int count) {
  Clear();
  EnsureCapacity(count);
  std::vector<uint8_t> bytes(static_cast<size_t>(count * kBytesPerEntry));
  ReadGIFBytes(stream, bytes.data(), static_cast<int64_t>(bytes.size()));
  colors_.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    colors_[i] = {bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]};
  }
}

void TGIFColorMap::SaveToStream(TStream& stream) const {
  if (colors_.empty()) return;
  std::vector<uint8_t> bytes(static_cast<size_t>((1 << BitsPerPixel()) * kBytesPerEntry), 0);
  for (size_t i = 0; i < colors_.size(); ++i) {
    bytes[i * 3] = colors_[i].Red;
    bytes[i * 3 + 1] = colors_[i].Green;
    bytes[i * 3 + 2] = colors_[i].Blue;
  }
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

int TGIFColorMap::BitsPerPixel() const {
  if (colors_.empty()) return 0;
  int bits = 1;
  while ((1 << bits) < Count()) ++bits;
  return bits;
}

uint32_t TGIFColorMap::Colors(int index) {
  if (index < 0 || index >= Count()) {
    Warning(kGIFWarningSeverity, kGIFInvalidColorIndex);
    if (colors_.empty()) throw GIFException(kGIFColorTableEmpty);
    index = 0;
  }
  return ColorValue(colors_[static_cast<size_t>(index)]);
}

int TGIFColorMap::IndexOf(uint32_t color) const {
  const TRGBColor wanted = ColorFromValue(color);
  if (sorted_) {
    const auto found = std::find(colors_.begin(), colors_.end(), wanted);
    return found == colors_.end() ? -1 : static_cast<int>(found - colors_.begin());
  }
  const auto found = std::find(colors_.rbegin(), colors_.rend(), wanted);
  return found == colors_.rend() ? -1 : static_cast<int>(colors_.rend() - found) - 1;
}

int TGIFColorMap::Add(uint32_t color) {
  if (Count() >= kMaxColors) throw GIFException(kGIFColorTableOverflow);
  EnsureCapacity(Count() + 1);
  colors_.push_back(ColorFromValue(color));
  sorted_ = false;
  Changed();
  return Count() - 1;
}

int TGIFColorMap::AddUnique(uint32_t color) {
  const int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= Count()) throw GIFException(kGIFInvalidColorIndex);
  colors_.erase(colors_.begin() + index);
  sorted_ = false;
  Changed();
}

void TGIFColorMap::ImportColorTable(const uint8_t* quads, int count) {
  Clear();
  count = std::clamp(count, 0, kMaxColors);
  EnsureCapacity(count);
  for (int i = 0; i < count; ++i) {
    const uint8_t* quad = quads + i * 4;
    colors_.push_back({quad[2], quad[1], quad[0]});
  }
  Changed();
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
  if (&source == this) return;
  Clear();
  EnsureCapacity(source.Count());
  colors_ = source.colors_;
  sorted_ = source.sorted_;
  Changed();
}

void TGIFGlobalColorMap::Warning(int severity, const std::string& message) {
  if (header_.Image() != nullptr) header_.Image()->Warning(*this, severity, message);
}

void TGIFGlobalColorMap::Changed() {
  if (header_.Image() != nullptr) header_.Image()->GlobalColorMapChanged();
}

void TGIFLocalColorMap::Warning(int severity, const std::string& message) {
  if (frame_.Image() != nullptr) frame_.Image()->Warning(*this, severity, message);
}

void TGIFLocalColorMap::Changed() {
  frame_.ColorMapChanged();
}
