#pragma once
// GIF files written and read by giflib, the independent peer the GIF codec is checked
// against (tests and benchmarks).

#include <cstdint>
#include <vector>

struct PeerFrame {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool Interlaced = false;
  // 0: the frame uses the global table.
  int LocalColors = 0;
  // -1: no graphic control extension.
  int TransparentIndex = -1;
  int Delay = 0;
  int Disposal = 0;
  // One index per pixel, rows top to bottom (also for interlaced frames).
  std::vector<uint8_t> Pixels;
};

struct PeerGif {
  int Width = 0;
  int Height = 0;
  // 0: no global table. Table sizes are powers of two from 2 to 256.
  int GlobalColors = 0;
  std::vector<PeerFrame> Frames;
};

// The colour giflib's files give to entry index of every table.
uint32_t PeerColor(int index);

std::vector<uint8_t> WriteGiflibGif(const PeerGif& gif);
// A GIF of one frame in the first colour of a two-colour table, as giflib writes it.
std::vector<uint8_t> PlainGiflibGif(int width, int height);
// DGifSlurp over the bytes, and nothing else: the peer's share of a speed comparison.
void DecodeWithGiflib(const std::vector<uint8_t>& bytes);
// The frames as DGifSlurp decodes them (interlaced rows put in place), with their delays.
PeerGif ReadGiflibGif(const std::vector<uint8_t>& bytes);
// The first frame's pixels, rows top to bottom, as colours in PeerColor's layout, from
// the frame's own table or else the global one.
std::vector<uint32_t> ReadGiflibColors(const std::vector<uint8_t>& bytes);
// Every frame's pixels in the same way.
std::vector<std::vector<uint32_t>> ReadGiflibFrameColors(const std::vector<uint8_t>& bytes);
