#include "gif/gif_color_table_optimizer.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"

namespace {

struct TUse {
  int64_t Count = 0;
  int Index = 0;
};

using TUses = std::vector<TUse>;

// Descending by count, by partitioning around the middle element; the order of equal
// counts is what the partitioning leaves.
void SortByUse(TUses& uses, int left, int right) {
  int i = left;
  do {
    i = left;
    int j = right;
    const int64_t pivot = uses[static_cast<size_t>((left + right) / 2)].Count;
    do {
      while (uses[static_cast<size_t>(i)].Count > pivot) ++i;
      while (uses[static_cast<size_t>(j)].Count < pivot) --j;
      if (i <= j) std::swap(uses[static_cast<size_t>(i++)], uses[static_cast<size_t>(j--)]);
    } while (i <= j);
    if (left < j) SortByUse(uses, left, j);
    left = i;
  } while (i < right);
}

void CountPixels(TGIFSubImage& frame, TUses& uses) {
  const uint8_t* pixel = frame.Data();
  const int64_t size = frame.DataSize();
  for (int64_t i = 0; i < size; ++i) {
    if (pixel[i] < uses.size()) ++uses[pixel[i]].Count;
  }
}

void RemapFrame(TGIFSubImage& frame, const std::array<uint8_t, 256>& newIndex) {
  uint8_t* pixel = frame.Data();
  const int64_t size = frame.DataSize();
  for (int64_t i = 0; i < size; ++i) pixel[i] = newIndex[pixel[i]];
  TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
  if (frame.Transparent() && control != nullptr) {
    control->SetTransparentColorIndex(newIndex[control->TransparentColorIndex()]);
  }
}

bool IsIdentity(const TUses& uses) {
  for (size_t i = 0; i < uses.size(); ++i) {
    if (uses[i].Index != static_cast<int>(i)) return false;
  }
  return true;
}

// frames are those whose pixels index map.
bool Optimize(TGIFColorMap& map, const std::vector<TGIFSubImage*>& frames) {
  if (map.Count() <= 1) return false;
  map.SetSorted(true);
  TUses uses(static_cast<size_t>(map.Count()));
  for (int i = 0; i < map.Count(); ++i) uses[static_cast<size_t>(i)].Index = i;
  for (TGIFSubImage* frame : frames) CountPixels(*frame, uses);
  SortByUse(uses, 0, map.Count() - 1);
  if (IsIdentity(uses)) return true;

  std::array<uint8_t, 256> newIndex{};
  for (int i = 0; i < 256; ++i) newIndex[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  std::vector<uint32_t> colors;
  for (size_t at = 0; at < uses.size(); ++at) {
    newIndex[static_cast<size_t>(uses[at].Index)] = static_cast<uint8_t>(at);
    if (uses[at].Count > 0) colors.push_back(map.Colors(uses[at].Index));
  }
  for (TGIFSubImage* frame : frames) RemapFrame(*frame, newIndex);
  map.Clear();
  for (uint32_t color : colors) map.Add(color);
  map.SetSorted(true);
  map.Changed();
  return true;
}

}  // namespace

bool OptimizeColorMap(TGIFSubImage& frame) {
  return Optimize(frame.ColorMap(), {&frame});
}
