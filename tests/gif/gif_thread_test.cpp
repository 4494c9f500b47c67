// Reading GIF files on several threads at once, as the archive's thumbnail worker and the
// downloads of the station do beside the window's thread. The test means most under
// ThreadSanitizer, run alone so that its threads are the first to use the reader's shared
// tables: scripts/tsan 'GIFThreads.*'

#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/giflib_peer.h"

namespace {

constexpr int kThreads = 4;
constexpr int kReadsPerThread = 3;

// A file with every kind of extension before its frames, each frame of its own pixels.
Bytes WithEveryExtension(const Bytes& giflibFile) {
  // Header, screen and the global table of 16 entries stay in front.
  const size_t screenEnd = 13 + 3 * 16;
  const Bytes extensions =
      Bytes{0x21, 0xFF, 11} + Text("NETSCAPE2.0") + Bytes{3, 1, 0, 0, 0} +  // looping
      Bytes{0x21, 0xFF, 11} + Text("ISOVIEW1.0x") + Chain(Text("own")) +    // unknown
      Bytes{0x21, 0xFE} + Chain(Text("a comment")) +                        // comment
      Bytes{0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 4, 4, 1, 0} + Chain(Text("text"));
  return Bytes(giflibFile.begin(), giflibFile.begin() + screenEnd) + extensions +
         Bytes(giflibFile.begin() + screenEnd, giflibFile.end());
}

PeerFrame Frame(int width, int height, int seed, int transparentIndex) {
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.TransparentIndex = transparentIndex;
  frame.Delay = 2;
  for (int i = 0; i < width * height; ++i) frame.Pixels.push_back(uint8_t((i * seed / 7) % 16));
  return frame;
}

// Every frame's indices and the colours of its bitmap, drawn through the web palette too.
std::vector<uint32_t> ReadEverything(const Bytes& file) {
  const TLoaded loaded = LoadGIF(file);
  std::vector<uint32_t> seen;
  TGIFImage& image = *loaded.Image;
  for (bool webPalette : {false, true}) {
    image.SetDrawOptions(webPalette ? drWebPalette : 0);
    for (int i = 0; i < image.Images().Count(); ++i) {
      TGIFSubImage& frame = image.Images()[i];
      frame.FreeBitmap();
      if (frame.Empty()) continue;
      seen.insert(seen.end(), frame.Data(), frame.Data() + frame.DataSize());
      TCanvas& canvas = frame.Bitmap()->Canvas();
      for (int y = 0; y < frame.Height(); ++y) {
        for (int x = 0; x < frame.Width(); ++x) seen.push_back(ColorValue(canvas.Pixel(x, y)));
      }
    }
  }
  return seen;
}

}  // namespace

TEST(GIFThreads, SeveralThreadsReadAtOnce) {
  const std::vector<Bytes> files = {
      WithEveryExtension(WriteGiflibGif({40, 30, 16, {Frame(40, 30, 3, 5), Frame(20, 9, 5, -1)}})),
      WithEveryExtension(WriteGiflibGif({33, 7, 16, {Frame(33, 7, 11, 2)}})),
  };
  std::vector<std::vector<std::vector<uint32_t>>> seen(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int read = 0; read < kReadsPerThread; ++read) {
        for (const Bytes& file : files) seen[t].push_back(ReadEverything(file));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (size_t f = 0; f < files.size(); ++f) {
    const TLoaded loaded = LoadGIF(files[f]);
    ASSERT_EQ(loaded.Error, "");
    EXPECT_TRUE(loaded.Warnings.empty());
    EXPECT_EQ(loaded.Image->Images()[0].Extensions().Count(), 5);
    const std::vector<uint32_t> alone = ReadEverything(files[f]);
    const Bytes first = ReadGiflibGif(files[f]).Frames[0].Pixels;
    EXPECT_TRUE(std::equal(first.begin(), first.end(), alone.begin()));
    for (int t = 0; t < kThreads; ++t) {
      for (int read = 0; read < kReadsPerThread; ++read) {
        EXPECT_EQ(seen[t][read * files.size() + f], alone) << "thread " << t << " file " << f;
      }
    }
  }
}
