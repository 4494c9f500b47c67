#include "tests/gif/bitmap_builders.h"

#include <algorithm>
#include <cmath>
#include <random>

std::unique_ptr<TBitmap> MakeBitmap(int width, int height, const TColorFunction& color,
                                    TPixelFormat format) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const TRGBColor c = color(x, y);
      row[3 * x] = c.Blue;
      row[3 * x + 1] = c.Green;
      row[3 * x + 2] = c.Red;
    }
  }
  bitmap->SetPixelFormat(format);
  return bitmap;
}

std::unique_ptr<TBitmap> RandomBitmap(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  return MakeBitmap(width, height, [&](int, int) {
    const uint32_t value = random();
    return TRGBColor{uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16)};
  });
}

std::unique_ptr<TBitmap> PhotoBitmap(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  return MakeBitmap(width, height, [&](int x, int y) {
    const double u = double(x) / width, v = double(y) / height;
    const double cloud = 0.5 + 0.3 * std::sin(u * 9 + v * 4) * std::cos(v * 7 - u * 3);
    const bool land = std::sin(u * 5) + std::cos(v * 6) > 0.6;
    const int noise = int(random() % 9) - 4;
    auto level = [&](double value) {
      return uint8_t(std::clamp(int(value * 255) + noise, 0, 255));
    };
    if (land) return TRGBColor{level(0.3 * cloud + 0.2), level(0.5 * cloud + 0.3), level(0.2)};
    return TRGBColor{level(cloud * 0.9), level(cloud * 0.95), level(0.4 + cloud * 0.6)};
  });
}

TRGBColor PixelAt(const TBitmap& bitmap, int x, int y) {
  return bitmap.Dib().PixelOfRow(bitmap.ScanLine(y), x);
}

std::vector<uint32_t> PixelValues(const TBitmap& bitmap) {
  std::vector<uint32_t> values;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x)
      values.push_back(bitmap.Dib().IndexOfRow(bitmap.ScanLine(y), x));
  }
  return values;
}
