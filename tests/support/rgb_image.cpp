#include "tests/support/rgb_image.h"

#include <fstream>

TRGBColor TRgbImage::At(double x, double y) const {
  const size_t i = (static_cast<size_t>(y) * Width + static_cast<size_t>(x)) * 3;
  return {Rgb[i], Rgb[i + 1], Rgb[i + 2]};
}

TRgbImage ReadRgbPpm(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  std::string magic;
  int maximum = 0;
  TRgbImage image;
  if (!(file >> magic >> image.Width >> image.Height >> maximum) || magic != "P6") return {};
  file.get();
  image.Rgb.resize(static_cast<size_t>(image.Width) * image.Height * 3);
  file.read(reinterpret_cast<char*>(image.Rgb.data()),
            static_cast<std::streamsize>(image.Rgb.size()));
  return file ? image : TRgbImage{};
}
