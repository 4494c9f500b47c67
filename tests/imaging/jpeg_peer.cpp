#include "tests/imaging/jpeg_peer.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace {

[[noreturn]] void PeerError(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  throw std::runtime_error(text);
}

uint8_t PatternValue(int x, int y, int c, int width, int height) {
  const int gradient = c == 0   ? x * 255 / width
                       : c == 1 ? y * 255 / height
                                : (x + y) * 127 / (width + height);
  const int noise = ((x * 7919 + y * 104729 + c * 31) % 17) - 8;
  return static_cast<uint8_t>(std::clamp(gradient + noise, 0, 255));
}

}  // namespace

std::vector<uint8_t> PeerEncode(int width, int height, const PeerEncodeOptions& options) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  error.error_exit = PeerError;
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  const int components = options.space == JCS_GRAYSCALE ? 1 : options.space == JCS_CMYK ? 4 : 3;
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = options.space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.quality, TRUE);
  if (options.stored != JCS_UNKNOWN) jpeg_set_colorspace(&info, options.stored);
  if (!options.adobeMarker) info.write_Adobe_marker = FALSE;
  if (options.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(width * components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c)
        row[x * components + c] = PatternValue(x, y, c, width, height);
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  free(buffer);
  return bytes;
}

PeerImage PeerDecode(const std::vector<uint8_t>& bytes,
                     const std::function<void(jpeg_decompress_struct&)>& configure) {
  jpeg_decompress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  error.error_exit = PeerError;
  error.emit_message = [](j_common_ptr, int) {};
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  if (info.out_color_space != JCS_GRAYSCALE) info.out_color_space = JCS_EXT_BGR;
  if (configure) configure(info);
  jpeg_start_decompress(&info);
  PeerImage image;
  image.width = info.output_width;
  image.height = info.output_height;
  image.components = info.output_components;
  if (info.quantize_colors)
    for (int c = 0; c < info.out_color_components; ++c)
      image.colormap.emplace_back(info.colormap[c],
                                  info.colormap[c] + info.actual_number_of_colors);
  const size_t stride = static_cast<size_t>(image.width) * image.components;
  image.rows.resize(stride * image.height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.rows.data() + info.output_scanline * stride;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}
