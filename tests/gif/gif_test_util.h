#pragma once
// Small GIF files built byte by byte, and loading them while collecting the warnings.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gif/gif_image.h"

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b);
Bytes Text(const std::string& text);

// Signature, logical screen descriptor and, for globalBits > 0, a global table of
// 2^globalBits grey entries (i, i, i).
Bytes Screen(int width, int height, int globalBits = 0, const std::string& signature = "GIF89a");
Bytes Descriptor(int left, int top, int width, int height, uint8_t packed = 0);
// LSB-first packing of (code, width in bits) pairs.
Bytes PackCodes(const std::vector<std::pair<int, int>>& codes);
// Sub-blocks of at most blockSize bytes and the terminator.
Bytes Chain(const Bytes& data, size_t blockSize = 255);
// Code size byte and the packed codes as a chain.
Bytes ImageData(int codeSize, const std::vector<std::pair<int, int>>& codes);

struct TLoaded {
  std::unique_ptr<TGIFImage> Image = std::make_unique<TGIFImage>();
  std::vector<std::string> Warnings;
  // Empty when the load succeeded.
  std::string Error;
  int64_t PositionAfter = 0;
};

// Loads with warnings collected; a GIFException is caught and its message kept.
TLoaded LoadGIF(const Bytes& bytes);

// The same GIF with each frame's image data cut into sub-blocks of blockSize bytes.
Bytes RechunkImageData(const Bytes& gif, size_t blockSize);

class TGIFGraphicControlExtension;

// A frame of the image, every pixel holding fill.
TGIFSubImage& AddFrame(TGIFImage& image, int left, int top, int width, int height, uint8_t fill);
// A graphic control extension for the frame; transparentIndex -1 for none.
TGIFGraphicControlExtension& AddControl(TGIFSubImage& frame, int disposal, int delay,
                                        int transparentIndex = -1);
// Global table entries.
void SetGlobalColors(TGIFImage& image, const std::vector<TRGBColor>& colors);
