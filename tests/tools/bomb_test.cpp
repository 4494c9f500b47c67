// Files of a few bytes whose headers claim pictures of up to 2^28 pixels (all inside the
// readers' pixel limit), each read by isoview-convert in a process of its own. Each must be
// refused or read, and the peak memory of that process (getrusage's largest resident size,
// taken by wait4; it counts the test's own size at the spawn too) must stay below 64 MiB:
// memory follows what the bytes can make. The CPU time is printed, not checked.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "runtime/stream.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::string;
constexpr long kMostKiB = 64 * 1024;

void Put16LE(Bytes& b, uint32_t v) {
  b += {char(v), char(v >> 8)};
}
void Put32LE(Bytes& b, uint32_t v) {
  b += {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
void Put32BE(Bytes& b, uint32_t v) {
  b += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// 54 bytes: a file header and an info header of a 24-bit picture, no pixels.
Bytes BmpBomb(int32_t width, int32_t height) {
  Bytes b = "BM";
  Put32LE(b, 54);
  Put32LE(b, 0);
  Put32LE(b, 54);
  for (uint32_t v : {40u, uint32_t(width), uint32_t(height)}) Put32LE(b, v);
  Put16LE(b, 1);   // planes
  Put16LE(b, 24);  // bits per pixel
  for (int i = 0; i < 6; ++i) Put32LE(b, 0);
  return b;
}

void PngChunk(Bytes& b, const char* name, const Bytes& data) {
  Put32BE(b, static_cast<uint32_t>(data.size()));
  const Bytes named = name + data;
  b += named;
  Put32BE(b, static_cast<uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(named.data()), named.size())));
}

// A 16384 x 16384 RGB PNG whose pixel data is 1000 zero bytes, compressed.
Bytes PngBomb() {
  Bytes header;
  Put32BE(header, 16384);
  Put32BE(header, 16384);
  header += {8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, adaptive filters, not interlaced
  Bytes raw(1000, '\0');
  Bytes packed(compressBound(raw.size()), '\0');
  uLongf size = packed.size();
  compress(reinterpret_cast<Bytef*>(packed.data()), &size,
           reinterpret_cast<const Bytef*>(raw.data()), raw.size());
  packed.resize(size);
  Bytes b = "\x89PNG\r\n\x1A\n";
  PngChunk(b, "IHDR", header);
  PngChunk(b, "IDAT", packed);
  PngChunk(b, "IEND", "");
  return b;
}

// A JPEG of a 16 x 16 picture, whole and ending in EOI.
Bytes SmallJpeg(bool progressive) {
  TBitmap bitmap;
  bitmap.SetSize(16, 16);
  bitmap.Canvas().FillRect(Rect(0, 0, 8, 16), {200, 30, 30});
  TJPEGImage jpeg;
  jpeg.SetProgressiveEncoding(progressive);
  jpeg.Assign(bitmap);
  TMemoryStream stream;
  jpeg.SaveToStream(stream);
  return Bytes(stream.Bytes().begin(), stream.Bytes().end());
}

// The file with its frame header (the marker given) claiming 16384 x 16384.
Bytes ClaimingHuge(Bytes jpeg, const char* frameMarker) {
  const size_t frame = jpeg.find(frameMarker);
  EXPECT_NE(frame, Bytes::npos);
  if (frame != Bytes::npos) jpeg.replace(frame + 5, 4, Bytes("\x40\x00\x40\x00", 4));
  return jpeg;
}

// The small file recoded with arithmetic coding by libjpeg's jpegtran: its coder can
// spend far less than a bit on a block.
Bytes ArithmeticJpeg(const TempDir& dir) {
  WriteWholeFile(dir.File("huffman.jpg"), SmallJpeg(false));
  EXPECT_EQ(RunCommand("jpegtran -arithmetic '" + dir.File("huffman.jpg") + "' > '" +
                       dir.File("arithmetic.jpg") + "'")
                .status,
            0);
  return ReadWholeFile(dir.File("arithmetic.jpg"));
}

// A 16384 x 16384 8-bit RLE bitmap whose codes end it at once: every pixel index 0.
Bytes RleBomb() {
  const uint32_t offset = 14 + 40 + 8;
  Bytes b = "BM";
  Put32LE(b, offset + 2);
  Put32LE(b, 0);
  Put32LE(b, offset);
  for (uint32_t v : {40u, 16384u, 16384u}) Put32LE(b, v);
  Put16LE(b, 1);
  Put16LE(b, 8);
  Put32LE(b, 1);  // RLE8
  for (uint32_t v : {2u, 0u, 0u, 2u, 0u}) Put32LE(b, v);
  b += Bytes("\0\0\0\0\xFF\xFF\xFF\0\0\x01", 10);  // two colours, end of bitmap
  return b;
}

// A 16384 x 16384 TIFF (RGB LZW, or a G4 fax) with one strip of a few bytes.
Bytes TiffBomb(uint16_t compression, uint16_t samples) {
  const Bytes strip = "\x80\x00\x20\x0C\x06\x03\x01\x80\x80";
  Bytes b = "II*";
  b += '\0';
  Put32LE(b, 8 + static_cast<uint32_t>(strip.size()));
  b += strip;
  const uint32_t entries[][3] = {{256, 4, 16384},
                                 {257, 4, 16384},
                                 {258, 3, samples == 1 ? 1u : 8u},
                                 {259, 3, compression},
                                 {262, 3, samples == 1 ? 0u : 2u},
                                 {273, 4, 8},
                                 {277, 3, samples},
                                 {278, 4, 16384},
                                 {279, 4, uint32_t(strip.size())}};
  Put16LE(b, std::size(entries));
  for (const auto& [tag, type, value] : entries) {
    Put16LE(b, tag);
    Put16LE(b, type);
    Put32LE(b, 1);
    Put32LE(b, value);
  }
  Put32LE(b, 0);
  return b;
}

// 100 pages of 2000 x 2000 grey, deflated in two strips of 1000 rows: the first, 2 KB of
// zeros, is shared by every page, the second lies past the end of the file. Each page
// alone is a cut picture its data can half make; all of them are 400 MB with the halves
// made by no data.
Bytes TiffPagesBomb() {
  constexpr uint32_t kPages = 100;
  constexpr uint32_t kSide = 2000;
  const Bytes zeros(size_t{kSide} * kSide / 2, '\0');
  Bytes strip(compressBound(zeros.size()), '\0');
  uLongf size = strip.size();
  compress(reinterpret_cast<Bytef*>(strip.data()), &size,
           reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
  strip.resize(size);
  Bytes b = "II*";
  b += '\0';
  const auto arrays = static_cast<uint32_t>(8 + strip.size());
  const uint32_t firstDirectory = arrays + 16;
  Put32LE(b, firstDirectory);
  b += strip;
  for (uint32_t v : {8u, 0x7FFFFF00u, uint32_t(strip.size()), 1000u}) Put32LE(b, v);
  constexpr uint32_t kDirectorySize = 2 + 9 * 12 + 4;
  for (uint32_t page = 0; page < kPages; ++page) {
    const uint32_t entries[][4] = {
        {256, 4, 1, kSide}, {257, 4, 1, kSide},     {258, 3, 1, 8},
        {259, 3, 1, 8},     {262, 3, 1, 1},         {273, 4, 2, arrays},
        {277, 3, 1, 1},     {278, 4, 1, kSide / 2}, {279, 4, 2, arrays + 8}};
    Put16LE(b, std::size(entries));
    for (const auto& [tag, type, count, value] : entries) {
      Put16LE(b, tag);
      Put16LE(b, type);
      Put32LE(b, count);
      Put32LE(b, value);
    }
    Put32LE(b, page + 1 < kPages ? firstDirectory + (page + 1) * kDirectorySize : 0);
  }
  return b;
}

// A GIF whose screen and frames claim 16384 x 16384 each: the colour table given (the
// screen's flags tell its size), then the frames, each with the image data given.
Bytes GifClaimingHuge(const Bytes& globalTable, int frames, const Bytes& imageData) {
  constexpr uint32_t kSide = 16384;
  Bytes b = "GIF89a";
  Put16LE(b, kSide);
  Put16LE(b, kSide);
  b += {globalTable.empty() ? '\0' : '\x80', '\0', '\0'};
  b += globalTable;
  for (int i = 0; i < frames; ++i) {
    b += ',';
    for (uint32_t v : {0u, 0u, kSide, kSide}) Put16LE(b, v);
    b += '\0';  // no local table, not interlaced
    b += imageData;
  }
  return b + ';';
}

// 140 bytes: black and white, and 8 frames whose data is one pixel (code size 2; clear,
// index 1, end: 9 bits in one sub-block).
Bytes GifFramesBomb() {
  return GifClaimingHuge(Bytes("\0\0\0\xFF\xFF\xFF", 6), 8, Bytes("\x02\x02\x4C\x01\0", 5));
}

// 26 bytes: no colour table, one frame whose data is a code size and no code.
Bytes GifNoCodesBomb() {
  return GifClaimingHuge("", 1, Bytes("\x02\0", 2));
}

struct TRun {
  int status = -1;
  long maxKiB = 0;
  double cpuSeconds = 0;
};

TRun RunConvert(const std::string& in, const std::string& out) {
  const std::string tool = std::string(ISOVIEW_BINARY_DIR) + "/bin/isoview-convert";
  std::vector<std::string> args = {tool, in, out};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  TRun run;
  if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxKiB = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

TEST(BombTest, AFewBytesNeverCostMoreThan64MiB) {
  struct TBomb {
    const char* name;
    Bytes bytes;
  };
  TempDir dir;
  const TBomb bombs[] = {
      {"bomb.bmp", BmpBomb(10000, 10000)},
      // 0 x 2^28, rows from the top: rows of no bytes, in an order to turn.
      {"zero-width.bmp", BmpBomb(0, -(1 << 28))},
      {"rle.bmp", RleBomb()},
      {"arithmetic.jpg", ClaimingHuge(ArithmeticJpeg(dir), "\xFF\xC9")},
      {"bomb.png", PngBomb()},
      {"progressive.jpg", ClaimingHuge(SmallJpeg(true), "\xFF\xC2")},
      {"baseline.jpg", ClaimingHuge(SmallJpeg(false), "\xFF\xC0")},
      {"lzw.tif", TiffBomb(5, 3)},
      {"g4.tif", TiffBomb(4, 1)},
      {"pages.tif", TiffPagesBomb()},
      {"frames.gif", GifFramesBomb()},
      {"no-codes.gif", GifNoCodesBomb()},
  };
  for (const TBomb& bomb : bombs) {
    WriteWholeFile(dir.File(bomb.name), bomb.bytes);
    const TRun run = RunConvert(dir.File(bomb.name), dir.File("out.bmp"));
    std::printf("%s (%zu bytes): exit %d, %ld KiB at most, %.2f s CPU\n", bomb.name,
                bomb.bytes.size(), run.status, run.maxKiB, run.cpuSeconds);
    EXPECT_TRUE(run.status == 0 || run.status == 1) << bomb.name;
    EXPECT_GT(run.maxKiB, 0) << bomb.name;
    EXPECT_LT(run.maxKiB, kMostKiB) << bomb.name;
  }
}

}  // namespace
