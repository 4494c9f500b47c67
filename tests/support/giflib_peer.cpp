#include "tests/support/giflib_peer.h"

#include <gif_lib.h>

#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct MemoryReader {
  const std::vector<uint8_t>* bytes;
  size_t at = 0;
};

int WriteToVector(GifFileType* file, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(file->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

int ReadFromMemory(GifFileType* file, GifByteType* data, int length) {
  auto* in = static_cast<MemoryReader*>(file->UserData);
  const size_t n = std::min(static_cast<size_t>(length), in->bytes->size() - in->at);
  std::memcpy(data, in->bytes->data() + in->at, n);
  in->at += n;
  return static_cast<int>(n);
}

void Check(int result, const char* what) {
  if (result != GIF_OK) throw std::runtime_error(std::string("giflib: ") + what);
}

struct MapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapPointer = std::unique_ptr<ColorMapObject, MapDeleter>;

MapPointer MakeMap(int colors) {
  if (colors == 0) return nullptr;
  MapPointer map(GifMakeMapObject(colors, nullptr));
  for (int i = 0; i < colors; ++i) {
    const uint32_t color = PeerColor(i);
    map->Colors[i] = {static_cast<GifByteType>(color), static_cast<GifByteType>(color >> 8),
                      static_cast<GifByteType>(color >> 16)};
  }
  return map;
}

void PutControl(GifFileType* file, const PeerFrame& frame) {
  GraphicsControlBlock control{};
  control.DisposalMode = frame.Disposal;
  control.DelayTime = frame.Delay;
  control.TransparentColor = frame.TransparentIndex;
  GifByteType bytes[4];
  const size_t length = EGifGCBToExtension(&control, bytes);
  Check(EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), bytes), "gce");
}

void PutFrame(GifFileType* file, const PeerFrame& frame) {
  if (frame.TransparentIndex >= 0 || frame.Delay != 0 || frame.Disposal != 0) {
    PutControl(file, frame);
  }
  MapPointer map = MakeMap(frame.LocalColors);
  Check(EGifPutImageDesc(file, frame.Left, frame.Top, frame.Width, frame.Height, frame.Interlaced,
                         map.get()),
        "image descriptor");
  auto putRow = [&](int y) {
    auto* row = const_cast<GifPixelType*>(frame.Pixels.data() + size_t(y) * frame.Width);
    Check(EGifPutLine(file, row, frame.Width), "line");
  };
  if (!frame.Interlaced) {
    for (int y = 0; y < frame.Height; ++y) putRow(y);
    return;
  }
  const int start[] = {0, 4, 2, 1};
  const int step[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = start[pass]; y < frame.Height; y += step[pass]) putRow(y);
  }
}

void SlurpWithGiflib(const std::vector<uint8_t>& bytes,
                     const std::function<void(const GifFileType&)>& use) {
  MemoryReader reader{&bytes};
  int error = 0;
  GifFileType* file = DGifOpen(&reader, &ReadFromMemory, &error);
  if (file == nullptr) throw std::runtime_error("giflib: open for reading");
  const bool slurped = DGifSlurp(file) == GIF_OK;
  if (slurped && use) use(*file);
  DGifCloseFile(file, &error);
  if (!slurped) throw std::runtime_error("giflib: slurp");
}

}  // namespace

std::vector<uint8_t> PlainGiflibGif(int width, int height) {
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.Pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  return WriteGiflibGif({width, height, 2, {frame}});
}

uint32_t PeerColor(int index) {
  return static_cast<uint32_t>((index * 37 + 11) & 255) | ((index * 91 + 7) & 255) << 8 |
         ((index * 53 + 101) & 255) << 16;
}

std::vector<uint8_t> WriteGiflibGif(const PeerGif& gif) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* file = EGifOpen(&out, &WriteToVector, &error);
  if (file == nullptr) throw std::runtime_error("giflib: open");
  EGifSetGifVersion(file, true);
  MapPointer global = MakeMap(gif.GlobalColors);
  Check(EGifPutScreenDesc(file, gif.Width, gif.Height, 8, 0, global.get()), "screen");
  for (const PeerFrame& frame : gif.Frames) PutFrame(file, frame);
  Check(EGifCloseFile(file, &error), "close");
  return out;
}

PeerGif ReadGiflibGif(const std::vector<uint8_t>& bytes) {
  PeerGif gif;
  SlurpWithGiflib(bytes, [&gif](const GifFileType& file) {
    gif.Width = file.SWidth;
    gif.Height = file.SHeight;
    gif.GlobalColors = file.SColorMap ? file.SColorMap->ColorCount : 0;
    for (int i = 0; i < file.ImageCount; ++i) {
      const SavedImage& saved = file.SavedImages[i];
      PeerFrame frame;
      frame.Left = saved.ImageDesc.Left;
      frame.Top = saved.ImageDesc.Top;
      frame.Width = saved.ImageDesc.Width;
      frame.Height = saved.ImageDesc.Height;
      frame.Interlaced = saved.ImageDesc.Interlace;
      frame.LocalColors = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap->ColorCount : 0;
      frame.Pixels.assign(saved.RasterBits, saved.RasterBits + size_t(frame.Width) * frame.Height);
      GraphicsControlBlock control;
      if (DGifSavedExtensionToGCB(const_cast<GifFileType*>(&file), i, &control) == GIF_OK)
        frame.Delay = control.DelayTime;
      gif.Frames.push_back(std::move(frame));
    }
  });
  return gif;
}

void DecodeWithGiflib(const std::vector<uint8_t>& bytes) {
  SlurpWithGiflib(bytes, nullptr);
}

std::vector<std::vector<uint32_t>> ReadGiflibFrameColors(const std::vector<uint8_t>& bytes) {
  std::vector<std::vector<uint32_t>> frames;
  SlurpWithGiflib(bytes, [&frames](const GifFileType& file) {
    for (int index = 0; index < file.ImageCount; ++index) {
      const SavedImage& frame = file.SavedImages[index];
      const ColorMapObject* map =
          frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : file.SColorMap;
      const size_t count = size_t(frame.ImageDesc.Width) * frame.ImageDesc.Height;
      std::vector<uint32_t>& colors = frames.emplace_back();
      for (size_t i = 0; i < count; ++i) {
        const GifColorType c = map->Colors[frame.RasterBits[i] % map->ColorCount];
        colors.push_back(uint32_t(c.Red) | uint32_t(c.Green) << 8 | uint32_t(c.Blue) << 16);
      }
    }
  });
  return frames;
}

std::vector<uint32_t> ReadGiflibColors(const std::vector<uint8_t>& bytes) {
  std::vector<std::vector<uint32_t>> frames = ReadGiflibFrameColors(bytes);
  return frames.empty() ? std::vector<uint32_t>{} : std::move(frames.front());
}
