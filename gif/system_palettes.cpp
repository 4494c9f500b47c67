#include "gif/system_palettes.h"

#include "gif/color_lookup.h"

namespace {

constexpr int kHalftoneGreys = 20;
constexpr int kReservedHalf = 10;

}  // namespace

TPalette SystemPalette20() {
  return {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
          {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
          {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
          {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
}

TPalette HalftonePalette() {
  const TPalette reserved = SystemPalette20();
  TPalette palette(reserved.begin(), reserved.begin() + kReservedHalf);
  const TPalette cube = WebPalette();
  palette.insert(palette.end(), cube.begin(), cube.end());
  // Evenly spaced; none of them falls on a grey of the cube (multiples of 51).
  for (int i = 1; i <= kHalftoneGreys; ++i) {
    const auto grey =
        static_cast<uint8_t>((i * 255 + (kHalftoneGreys + 1) / 2) / (kHalftoneGreys + 1));
    palette.push_back({grey, grey, grey});
  }
  palette.insert(palette.end(), reserved.begin() + kReservedHalf, reserved.end());
  return palette;
}
