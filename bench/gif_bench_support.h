#pragma once
// Index frames like the program's weather images, and timing, shared by the GIF benchmarks.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <random>
#include <vector>

#include "tests/support/giflib_peer.h"

inline PeerFrame Blank(int width, int height, uint8_t color) {
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.Pixels.assign(size_t(width) * height, color);
  return frame;
}

// A weather fax: white paper, black coast lines, isobars, grid and text blocks.
inline PeerFrame FaxChart() {
  constexpr int kWidth = 1728, kHeight = 2200;
  PeerFrame frame = Blank(kWidth, kHeight, 0);
  auto set = [&](int x, int y) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) frame.Pixels[size_t(y) * kWidth + x] = 1;
  };
  for (int y = 0; y < kHeight; y += 110) {
    for (int x = 0; x < kWidth; ++x) set(x, y);
  }
  for (int x = 0; x < kWidth; x += 96) {
    for (int y = 0; y < kHeight; ++y) set(x, y);
  }
  for (int curve = 0; curve < 40; ++curve) {
    for (int x = 0; x < kWidth; ++x) {
      const double y = 60 + curve * 53 + 25 * std::sin(x / (40.0 + curve)) + 9 * std::cos(x / 7.0);
      for (int t = 0; t < 2; ++t) set(x, int(y) + t);
    }
  }
  std::mt19937 random(7);
  for (int block = 0; block < 600; ++block) {
    const int x0 = int(random() % kWidth), y0 = int(random() % kHeight);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 40; ++x) {
        if (random() % 3 == 0) set(x0 + x, y0 + y);
      }
    }
  }
  return frame;
}

// A satellite picture: smooth shades of 256 colours with noise.
inline PeerFrame Photo(int width, int height, int colors, unsigned seed) {
  PeerFrame frame = Blank(width, height, 0);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double shade =
          0.5 + 0.25 * std::sin(x / 37.0) * std::cos(y / 23.0) + 0.2 * std::sin((x + y) / 91.0);
      const int noise = int(random() % 5) - 2;
      frame.Pixels[size_t(y) * width + x] =
          uint8_t(std::clamp(int(shade * (colors - 1)) + noise, 0, colors - 1));
    }
  }
  return frame;
}

// A large map that is mostly one colour, with a few filled areas and lines.
inline PeerFrame SparseMap() {
  constexpr int kWidth = 4000, kHeight = 3000;
  PeerFrame frame = Blank(kWidth, kHeight, 3);
  std::mt19937 random(11);
  for (int area = 0; area < 30; ++area) {
    const int x0 = int(random() % (kWidth - 300)), y0 = int(random() % (kHeight - 200));
    const uint8_t color = uint8_t(random() % 16);
    for (int y = y0; y < y0 + 200; ++y) {
      std::fill_n(frame.Pixels.begin() + size_t(y) * kWidth + x0, 300, color);
    }
  }
  for (int y = 0; y < kHeight; y += 250) {
    std::fill_n(frame.Pixels.begin() + size_t(y) * kWidth, kWidth, 0);
  }
  return frame;
}

// Isobars and a coast in black on white paper, with a text block: mostly long white runs,
// the fetch job's chart. Black and white are on the web palette, so a save reduced to it
// keeps them (other colours each program maps its own way).
inline std::vector<uint8_t> BlackOnWhiteFaxGif(int width, int height) {
  PeerGif gif{width, height, 2, {}};
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.Pixels.resize(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int64_t wide = x, tall = y;
      const bool isobar =
          (wide * wide / 900 + tall * 3) % 157 < 2 || (wide + tall * tall / 1300) % 233 < 2;
      const bool text = y < 120 && x < 900 && (x / 3 + y / 4) % 5 == 0;
      frame.Pixels[size_t(y) * width + x] = isobar || text;
    }
  gif.Frames.push_back(frame);
  std::vector<uint8_t> bytes = WriteGiflibGif(gif);
  // The screen descriptor's 13 bytes, then the global colour table.
  constexpr size_t kGlobalTableOffset = 13;
  const uint8_t whiteThenBlack[] = {255, 255, 255, 0, 0, 0};
  std::copy(std::begin(whiteThenBlack), std::end(whiteThenBlack),
            bytes.begin() + kGlobalTableOffset);
  return bytes;
}

// The fastest of several runs, in seconds.
inline double Fastest(const std::function<void()>& run, int repeats) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}
