#pragma once
// Plain libjpeg, used by the tests as the independent peer: files made and decoded
// without any of this project's code.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>
// clang-format off: jpeglib.h needs <cstdio> first
#include <jpeglib.h>
// clang-format on

struct PeerImage {
  int width = 0;
  int height = 0;
  int components = 0;
  std::vector<uint8_t> rows;                   // top row first, width * components bytes each
  std::vector<std::vector<uint8_t>> colormap;  // [component][index] when quantized
};

struct PeerEncodeOptions {
  int quality = 75;
  bool progressive = false;
  J_COLOR_SPACE space = JCS_RGB;  // JCS_GRAYSCALE or JCS_CMYK make such files
  // The colour space stored in the file (JCS_YCCK for CMYK input: Adobe's transform 2);
  // JCS_UNKNOWN: libjpeg's default for the input.
  J_COLOR_SPACE stored = JCS_UNKNOWN;
  // libjpeg marks CMYK and YCCK files with an Adobe marker unless told not to.
  bool adobeMarker = true;
};

// A JPEG of a test pattern (gradients and a little noise), made by libjpeg.
std::vector<uint8_t> PeerEncode(int width, int height, const PeerEncodeOptions& options = {});

// Decodes with libjpeg: out_color_space JCS_EXT_BGR (grey stays grey); configure sets the
// rest after the header is read.
PeerImage PeerDecode(const std::vector<uint8_t>& bytes,
                     const std::function<void(jpeg_decompress_struct&)>& configure = {});
