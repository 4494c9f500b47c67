// What the first bytes of pictures written by independent libraries and tools say: their
// kind and size, also from the first bytes only; and nothing for what is no picture.

#include "source_check/image_head.h"

#include <gtest/gtest.h>
#include <png.h>

#include "runtime/text_file.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/png_peer.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The file a shell command wrote into the folder as NAME.
std::vector<uint8_t> Written(const TempDir& dir, const std::string& command,
                             const std::string& name) {
  std::string line = command;
  for (size_t at; (at = line.find("NAME")) != std::string::npos;)
    line.replace(at, 4, dir.File(name));
  const TCommandResult result = RunCommand(line + " 2>&1");
  EXPECT_EQ(result.status, 0) << line << "\n" << result.output;
  return Bytes(ReadWholeFile(dir.File(name)));
}

}  // namespace

TEST(ImageHead, KindAndSizeOfPicturesFromIndependentWriters) {
  TempDir dir;
  const std::string pillow = "/usr/bin/python3 -c \"from PIL import Image; ";
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string described;
  } cases[] = {
      {"giflib", PlainGiflibGif(40, 30), "image/gif 40x30"},
      {"libpng",
       WriteLibpngPng({3, 7, PNG_COLOR_TYPE_GRAY, 8, false, std::vector<uint16_t>(21), {}, {}, {}}),
       "image/png 3x7"},
      // Exif of 30 KB before the frame header.
      {"Pillow JPEG behind Exif",
       Written(dir,
               pillow + "Image.new('RGB', (1728, 22)).save('NAME', exif=b'Exif\\\\0\\\\0' + "
                        "bytes(30000))\"",
               "exif.jpg"),
       "image/jpeg 1728x22"},
      {"Pillow progressive JPEG",
       Written(dir, pillow + "Image.new('L', (17, 9)).save('NAME', progressive=True)\"", "p.jpg"),
       "image/jpeg 17x9"},
      {"Pillow BMP", Written(dir, pillow + "Image.new('RGB', (5, 6)).save('NAME')\"", "a.bmp"),
       "image/bmp 5x6"},
      {"ImageMagick OS/2 BMP", Written(dir, "convert -size 9x4 xc:white BMP2:NAME", "core.bmp"),
       "image/bmp 9x4"},
      {"Pillow TIFF", Written(dir, pillow + "Image.new('1', (1728, 2200)).save('NAME')\"", "a.tif"),
       "image/tiff 1728x2200"},
      {"ImageMagick big-endian TIFF",
       Written(dir, "convert -size 33x44 xc:white -endian MSB NAME", "mm.tif"), "image/tiff 33x44"},
      {"a GIF's first eight bytes", Bytes("GIF89a\x28"), "image/gif"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DescribeImageHead(ReadImageHead(c.bytes)), c.described);
  }
}

TEST(ImageHead, TheFirstBytesAreEnoughOrTheSizeStaysUnknown) {
  TempDir dir;
  // libtiff's writer puts the directory behind the strips: beyond the first bytes.
  const std::vector<uint8_t> tiff =
      Written(dir, "convert -size 300x300 xc:gray -compress none NAME", "big.tif");
  const std::vector<uint8_t> gif = PlainGiflibGif(640, 480);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string described;
  } cases[] = {
      {"a GIF's first ten bytes", {gif.begin(), gif.begin() + 10}, "image/gif 640x480"},
      {"a TIFF whose directory comes later", {tiff.begin(), tiff.begin() + 1024}, "image/tiff"},
      {"an error page", Bytes("<html><body>Not here</body></html>"), ""},
      {"nothing", {}, ""},
      {"a JPEG whose segment lengths run off the end", Bytes("\xFF\xD8\xFF\xE0\xFF\xFF"),
       "image/jpeg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DescribeImageHead(ReadImageHead(c.bytes)), c.described);
  }
}
