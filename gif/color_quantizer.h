#pragma once
// The octree colour quantizer: every colour of an image is filed into a tree of eight-way
// nodes by its component bits, most significant first; whenever there are more leaves than
// colours wanted, the deepest node still holding children is merged into one leaf. The
// leaves, averaged, are the palette.

#include <array>
#include <cstdint>
#include <memory>

#include "imaging/color.h"

class TDIBReader;

struct TOctreeNode {
  bool Leaf = false;
  uint32_t PixelCount = 0;
  // 64-bit: a leaf of a large image sums more than 2^32 / 255 pixels.
  uint64_t RedSum = 0;
  uint64_t GreenSum = 0;
  uint64_t BlueSum = 0;
  // The next node of the same level's reducible list.
  TOctreeNode* Next = nullptr;
  std::array<std::unique_ptr<TOctreeNode>, 8> Child;
};

class TColorQuantizer {
 public:
  static constexpr int kLevels = 8;

  // colorBits: the depth of the tree, 1..8 (8 keeps every colour apart until reduced).
  TColorQuantizer(int maxColors, int colorBits);

  // Every pixel of the rows from the top, each row from the left. The reader must give
  // 24-bit rows.
  void ProcessImage(const TDIBReader& image);
  void AddColor(TRGBColor color);
  int LeafCount() const { return leafCount_; }
  // One entry per leaf, depth first with children in order 0..7.
  TPalette ColorTable() const;

 private:
  std::unique_ptr<TOctreeNode> CreateNode(int level);
  // Merges the children of the deepest node that has some; false when none has.
  bool ReduceTree();

  const int maxColors_;
  const int colorBits_;
  std::unique_ptr<TOctreeNode> tree_;
  int leafCount_ = 0;
  // Per level, the nodes with children: a stack, the last added first.
  std::array<TOctreeNode*, kLevels> reducible_{};
};
