#include "gif/color_quantizer.h"

#include <algorithm>

#include "gif/gif_dib.h"

namespace {

constexpr int kTopBit = 0x80;
constexpr int kComponentBits = 7;

int ChildIndex(TRGBColor color, int level) {
  const int mask = kTopBit >> level;
  const int shift = kComponentBits - level;
  return ((color.Red & mask) >> shift) * 4 + ((color.Green & mask) >> shift) * 2 +
         ((color.Blue & mask) >> shift);
}

void Merge(TOctreeNode& into, const TOctreeNode& child) {
  into.PixelCount += child.PixelCount;
  into.RedSum += child.RedSum;
  into.GreenSum += child.GreenSum;
  into.BlueSum += child.BlueSum;
}

void CollectColors(const TOctreeNode& node, TPalette& palette) {
  if (node.Leaf) {
    if (node.PixelCount == 0) {
      palette.push_back(clBlack);
      return;
    }
    palette.push_back({static_cast<uint8_t>(node.RedSum / node.PixelCount),
                       static_cast<uint8_t>(node.GreenSum / node.PixelCount),
                       static_cast<uint8_t>(node.BlueSum / node.PixelCount)});
    return;
  }
  for (const auto& child : node.Child) {
    if (child) CollectColors(*child, palette);
  }
}

}  // namespace

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : maxColors_(maxColors), colorBits_(std::clamp(colorBits, 1, kLevels)) {}

std::unique_ptr<TOctreeNode> TColorQuantizer::CreateNode(int level) {
  auto node = std::make_unique<TOctreeNode>();
  if (level == colorBits_) {
    node->Leaf = true;
    ++leafCount_;
  } else {
    node->Next = reducible_[static_cast<size_t>(level)];
    reducible_[static_cast<size_t>(level)] = node.get();
  }
  return node;
}

void TColorQuantizer::AddColor(TRGBColor color) {
  std::unique_ptr<TOctreeNode>* slot = &tree_;
  for (int level = 0;; ++level) {
    if (!*slot) *slot = CreateNode(level);
    TOctreeNode& node = **slot;
    if (node.Leaf) {
      ++node.PixelCount;
      node.RedSum += color.Red;
      node.GreenSum += color.Green;
      node.BlueSum += color.Blue;
      break;
    }
    slot = &node.Child[static_cast<size_t>(ChildIndex(color, level))];
  }
  while (leafCount_ > maxColors_) {
    if (!ReduceTree()) break;
  }
}

bool TColorQuantizer::ReduceTree() {
  int level = colorBits_ - 1;
  while (level > 0 && reducible_[static_cast<size_t>(level)] == nullptr) --level;
  TOctreeNode* node = reducible_[static_cast<size_t>(level)];
  if (node == nullptr) return false;
  reducible_[static_cast<size_t>(level)] = node->Next;
  int children = 0;
  for (auto& child : node->Child) {
    if (!child) continue;
    Merge(*node, *child);
    child.reset();
    ++children;
  }
  node->Leaf = true;
  leafCount_ -= children - 1;
  return true;
}

void TColorQuantizer::ProcessImage(const TDIBReader& image) {
  for (int y = 0; y < image.Height(); ++y) {
    const uint8_t* pixel = image.ScanLine(y);
    for (int x = 0; x < image.Width(); ++x, pixel += 3) AddColor({pixel[2], pixel[1], pixel[0]});
  }
}

TPalette TColorQuantizer::ColorTable() const {
  TPalette palette;
  if (tree_) CollectColors(*tree_, palette);
  return palette;
}
