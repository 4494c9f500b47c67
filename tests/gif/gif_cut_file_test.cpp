// A GIF that ends before its picture is not a picture: files cut by hand, byte group by
// byte group, and files written by giflib cut anywhere are refused or marked truncated,
// unless every pixel of the picture is there.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "gif/gif_image.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/gif_layout.h"
#include "tests/support/giflib_peer.h"

namespace {

constexpr int kClear = 4;
constexpr int kEnd = 5;

// How a load ended: its error, or the first frame's pixels and whether they are all there.
struct TRead {
  std::string Error;
  bool Truncated = false;
  Bytes Pixels;
};

TRead Read(const Bytes& bytes) {
  const TLoaded loaded = LoadGIF(bytes);
  TRead read{loaded.Error, loaded.Image->Truncated(), {}};
  if (!read.Error.empty() || loaded.Image->Images().Count() == 0) return read;
  TGIFSubImage& first = loaded.Image->Images()[0];
  read.Pixels.assign(first.Data(), first.Data() + first.DataSize());
  return read;
}

}  // namespace

TEST(GIFCutFiles, EndsBeforeThePictureByHand) {
  // Signature, a 6 x 1 screen and a global table of four greys.
  const Bytes screen = Screen(6, 1, 2);
  // Graphic control extension: transparent index 3.
  const Bytes control{0x21, 0xF9, 4, 1, 0, 0, 3, 0};
  // Comment extension: one sub-block "cut", terminator.
  const Bytes comment = Bytes{0x21, 0xFE} + Chain(Text("cut"));
  // Image descriptor: 6 x 1 at (0, 0), no local table.
  const Bytes descriptor = Descriptor(0, 0, 6, 1);
  // LZW code size 2.
  const Bytes codeSize{2};
  // Codes of 1 2 "1 2" "1 2", then the end code, in one sub-block and its terminator.
  const Bytes codes = PackCodes({{kClear, 3}, {1, 3}, {2, 3}, {6, 3}, {6, 4}, {kEnd, 4}});
  const Bytes data = Chain(codes);
  const Bytes trailer{0x3B};
  const Bytes image = screen + control + comment + descriptor + codeSize;
  const Bytes cutCodes = Bytes{static_cast<uint8_t>(codes.size())} + Bytes{codes[0]};
  const Bytes noEndCode = Chain(PackCodes({{kClear, 3}, {1, 3}, {2, 3}, {6, 3}, {6, 4}}));
  const Bytes picture{1, 2, 1, 2, 1, 2};
  const char* kNoImage = "GIF data holds no image";
  struct TCase {
    const char* what;
    Bytes file;
    TRead expected;
  };
  const std::vector<TCase> cases = {
      {"cut after the colour table", screen, {kNoImage, false, {}}},
      {"no block before the trailer", screen + trailer, {kNoImage, false, {}}},
      {"cut after the extensions", screen + control + comment, {kNoImage, false, {}}},
      {"extensions and the trailer", screen + control + comment + trailer, {kNoImage, false, {}}},
      // The frame was found: the file is cut, and the frame has no pixels.
      {"cut after the image descriptor", screen + control + comment + descriptor, {"", true, {}}},
      {"cut after the code size", image, {"", true, {}}},
      // One sub-block byte could hold a code: the frame is made, and keeps its fill.
      {"cut before any code", image + Bytes{1}, {"", true, Bytes(6, 3)}},
      {"no code before the terminator", image + Bytes{0} + trailer, {"", true, {}}},
      // One byte of codes holds the first pixel; the rest keep the transparent index.
      {"cut inside the codes", image + cutCodes, {"", true, {1, 3, 3, 3, 3, 3}}},
      {"cut before the chain's terminator",
       image + Bytes(data.begin(), data.end() - 1),
       {"", true, picture}},
      {"end code after four pixels",
       image + Chain(PackCodes({{kClear, 3}, {1, 3}, {2, 3}, {6, 3}, {kEnd, 4}})) + trailer,
       {"", true, {1, 2, 1, 2, 3, 3}}},
      {"no end code", image + noEndCode + trailer, {"", false, picture}},
      {"whole", image + data + trailer, {"", false, picture}},
      {"no trailer", image + data, {"", false, picture}},
  };
  for (const TCase& c : cases) {
    const TRead read = Read(c.file);
    EXPECT_EQ(read.Error, c.expected.Error) << c.what;
    EXPECT_EQ(read.Truncated, c.expected.Truncated) << c.what;
    EXPECT_EQ(read.Pixels, c.expected.Pixels) << c.what;
  }
}

namespace {

PeerFrame Stripes(int width, int height, int colors, int transparentIndex = -1) {
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.TransparentIndex = transparentIndex;
  for (int i = 0; i < width * height; ++i) frame.Pixels.push_back(uint8_t(i / 3 % colors));
  return frame;
}

// Every sixteenth of the length, and every place where a part of the file ends and the
// bytes on either side of it.
std::vector<size_t> CutPoints(const Bytes& file) {
  std::set<size_t> cuts;
  for (size_t k = 0; k < 16; ++k) cuts.insert(file.size() * k / 16);
  for (size_t boundary : LayoutOf(file).Boundaries) {
    for (size_t at : {boundary - 1, boundary, boundary + 1}) {
      if (at < file.size()) cuts.insert(at);
    }
  }
  return {cuts.begin(), cuts.end()};
}

}  // namespace

// A picture read as whole must be the whole first frame, and the file must have been cut
// only after that frame's data, where a block may begin.
TEST(GIFCutFiles, GiflibFilesCutAnywhereAreNeverWholeUnlessThePictureIs) {
  PeerFrame second = Stripes(9, 17, 4);
  second.Interlaced = true;
  second.LocalColors = 4;
  const std::vector<Bytes> files = {
      WriteGiflibGif({61, 37, 16, {Stripes(61, 37, 16, 5)}}),
      WriteGiflibGif({30, 20, 256, {Stripes(30, 20, 256), second}}),
  };
  for (const Bytes& file : files) {
    const Bytes picture = ReadGiflibGif(file).Frames[0].Pixels;
    const size_t firstImageEnd = LayoutOf(file).FirstImageEnd;
    for (size_t cut : CutPoints(file)) {
      const TRead read = Read(Bytes(file.begin(), file.begin() + cut));
      if (!read.Error.empty() || read.Truncated) continue;
      EXPECT_GE(cut, firstImageEnd) << "cut at " << cut << " of " << file.size();
      EXPECT_EQ(read.Pixels, picture) << "cut at " << cut << " of " << file.size();
    }
  }
}
