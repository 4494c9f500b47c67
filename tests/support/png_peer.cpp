#include "tests/support/png_peer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>

namespace {

constexpr int kBitsPerByte = 8;

// Samples packed as the file stores them: below 8 bits from the high bit on, 16 bits big
// endian.
std::vector<std::vector<uint8_t>> PackedRows(const PeerPng& png) {
  const int perRow = png.Width * PeerChannels(png.ColorType);
  const size_t rowBytes = (size_t(perRow) * png.BitDepth + kBitsPerByte - 1) / kBitsPerByte;
  std::vector<std::vector<uint8_t>> rows(png.Height, std::vector<uint8_t>(rowBytes));
  for (int y = 0; y < png.Height; ++y)
    for (int i = 0; i < perRow; ++i) {
      const uint16_t sample = png.Samples[size_t(y) * perRow + i];
      uint8_t* row = rows[y].data();
      if (png.BitDepth == 16) {
        row[2 * i] = uint8_t(sample >> 8);
        row[2 * i + 1] = uint8_t(sample);
      } else {
        const int bit = i * png.BitDepth;
        row[bit / 8] |= uint8_t(sample << (8 - png.BitDepth - bit % 8));
      }
    }
  return rows;
}

void SetTransparency(png_structp p, png_infop info, const PeerPng& png) {
  if (!png.PaletteAlpha.empty())
    png_set_tRNS(p, info, png.PaletteAlpha.data(), int(png.PaletteAlpha.size()), nullptr);
  if (png.TransparentSample) {
    const std::vector<uint16_t>& s = *png.TransparentSample;
    png_color_16 color{};
    color.gray = s[0];
    if (s.size() == 3) {
      color.red = s[0];
      color.green = s[1];
      color.blue = s[2];
    }
    png_set_tRNS(p, info, nullptr, 0, &color);
  }
}

void AppendBytes(png_structp p, png_bytep data, size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
  out->insert(out->end(), data, data + count);
}

bool WriteAll(png_structp p, png_infop info, const PeerPng* png, png_bytepp rows,
              std::vector<png_color>* palette) {
  if (setjmp(png_jmpbuf(p))) return false;
  png_set_IHDR(p, info, png->Width, png->Height, png->BitDepth, png->ColorType,
               png->Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette->empty()) png_set_PLTE(p, info, palette->data(), int(palette->size()));
  SetTransparency(p, info, *png);
  png_write_info(p, info);
  png_write_image(p, rows);
  png_write_end(p, nullptr);
  return true;
}

}  // namespace

int PeerChannels(int ColorType) {
  switch (ColorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

std::vector<uint8_t> WriteLibpngPng(const PeerPng& png) {
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  std::vector<uint8_t> bytes;
  png_set_write_fn(p, &bytes, AppendBytes, nullptr);
  std::vector<std::vector<uint8_t>> packed = PackedRows(png);
  std::vector<png_bytep> rows;
  for (auto& row : packed) rows.push_back(row.data());
  std::vector<png_color> palette;
  for (const TRGBColor& c : png.Palette) palette.push_back({c.Red, c.Green, c.Blue});
  const bool written = WriteAll(p, info, &png, rows.data(), &palette);
  png_destroy_write_struct(&p, &info);
  EXPECT_TRUE(written) << "libpng refused to write the test image";
  return written ? bytes : std::vector<uint8_t>{};
}

PeerRgb ReadLibpngRgb(const std::vector<uint8_t>& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  PeerRgb result;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return result;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return result;
  result = {int(image.width), int(image.height), std::move(rgb)};
  return result;
}
