#include "tests/gif/gif_test_util.h"

#include "gif/gif_graphic_control_extension.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Screen(int width, int height, int globalBits, const std::string& signature) {
  Bytes bytes = Text(signature);
  const uint8_t packed = globalBits > 0 ? static_cast<uint8_t>(0x80 | (globalBits - 1)) : 0;
  bytes = bytes + Bytes{static_cast<uint8_t>(width),
                        static_cast<uint8_t>(width >> 8),
                        static_cast<uint8_t>(height),
                        static_cast<uint8_t>(height >> 8),
                        packed,
                        0,
                        0};
  for (int i = 0; globalBits > 0 && i < (1 << globalBits); ++i) {
    bytes = bytes + Bytes(3, static_cast<uint8_t>(i));
  }
  return bytes;
}

Bytes Descriptor(int left, int top, int width, int height, uint8_t packed) {
  return {0x2C,
          static_cast<uint8_t>(left),
          static_cast<uint8_t>(left >> 8),
          static_cast<uint8_t>(top),
          static_cast<uint8_t>(top >> 8),
          static_cast<uint8_t>(width),
          static_cast<uint8_t>(width >> 8),
          static_cast<uint8_t>(height),
          static_cast<uint8_t>(height >> 8),
          packed};
}

Bytes PackCodes(const std::vector<std::pair<int, int>>& codes) {
  Bytes bytes;
  uint32_t bits = 0;
  int count = 0;
  for (const auto& [code, width] : codes) {
    bits |= static_cast<uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      bytes.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count > 0) bytes.push_back(static_cast<uint8_t>(bits));
  return bytes;
}

Bytes Chain(const Bytes& data, size_t blockSize) {
  Bytes bytes;
  for (size_t at = 0; at < data.size(); at += blockSize) {
    const size_t size = std::min(blockSize, data.size() - at);
    bytes.push_back(static_cast<uint8_t>(size));
    bytes.insert(bytes.end(), data.begin() + at, data.begin() + at + size);
  }
  bytes.push_back(0);
  return bytes;
}

Bytes ImageData(int codeSize, const std::vector<std::pair<int, int>>& codes) {
  return Bytes{static_cast<uint8_t>(codeSize)} + Chain(PackCodes(codes));
}

TLoaded LoadGIF(const Bytes& bytes) {
  TLoaded loaded;
  loaded.Image->OnWarning = [&loaded](const TGIFWarningSource&, int severity,
                                      const std::string& message) {
    loaded.Warnings.push_back(severity == 1 ? message : "severity " + std::to_string(severity));
  };
  TMemoryStream stream(bytes);
  try {
    loaded.Image->LoadFromStream(stream);
  } catch (const GIFException& e) {
    loaded.Error = e.Message();
  }
  loaded.Image->OnWarning = nullptr;
  loaded.PositionAfter = stream.Position();
  return loaded;
}

namespace {

// The sub-block chain starting at at, joined; at ends past the terminator.
Bytes ReadChain(const Bytes& gif, size_t& at) {
  Bytes data;
  while (gif.at(at) != 0) {
    const size_t size = gif[at];
    data.insert(data.end(), gif.begin() + at + 1, gif.begin() + at + 1 + size);
    at += size + 1;
  }
  ++at;
  return data;
}

size_t ColorTableSize(uint8_t packed) {
  return packed & 0x80 ? 3 * (2 << (packed & 7)) : 0;
}

}  // namespace

Bytes RechunkImageData(const Bytes& gif, size_t blockSize) {
  size_t at = 13 + ColorTableSize(gif.at(10));
  Bytes out(gif.begin(), gif.begin() + at);
  while (gif.at(at) != 0x3B) {
    const size_t start = at;
    if (gif[at] == 0x21) {
      at += 2;
      ReadChain(gif, at);
      out.insert(out.end(), gif.begin() + start, gif.begin() + at);
      continue;
    }
    at += 10 + ColorTableSize(gif.at(at + 9)) + 1;
    out.insert(out.end(), gif.begin() + start, gif.begin() + at);
    out = out + Chain(ReadChain(gif, at), blockSize);
  }
  return out + Bytes{0x3B};
}

TGIFSubImage& AddFrame(TGIFImage& image, int left, int top, int width, int height, uint8_t fill) {
  TGIFSubImage& frame = image.Images()[image.Images().Add(std::make_unique<TGIFSubImage>(image))];
  frame.SetLeft(static_cast<uint16_t>(left));
  frame.SetTop(static_cast<uint16_t>(top));
  frame.SetWidth(static_cast<uint16_t>(width));
  frame.SetHeight(static_cast<uint16_t>(height));
  std::fill(frame.Data(), frame.Data() + frame.DataSize(), fill);
  return frame;
}

TGIFGraphicControlExtension& AddControl(TGIFSubImage& frame, int disposal, int delay,
                                        int transparentIndex) {
  auto control = std::make_unique<TGIFGraphicControlExtension>(frame);
  control->SetDisposal(static_cast<uint8_t>(disposal));
  control->SetDelay(static_cast<uint16_t>(delay));
  if (transparentIndex >= 0) {
    control->SetTransparentColorIndex(static_cast<uint8_t>(transparentIndex));
    control->SetTransparent(true);
  }
  TGIFGraphicControlExtension& added = *control;
  frame.Extensions().Add(std::move(control));
  return added;
}

void SetGlobalColors(TGIFImage& image, const std::vector<TRGBColor>& colors) {
  image.GlobalColorMap().Clear();
  for (const TRGBColor& color : colors) image.GlobalColorMap().Add(ColorValue(color));
}
