// The readers on several threads at once, as the archive's thumbnail worker and the
// station's decoding run beside the window's thread: every thread gets the pictures one
// thread alone gets. The second test runs the first under valgrind's helgrind, which
// reports any access to shared state (tables built on first use, library globals) that no
// lock orders.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/file_formats.h"
#include "imaging/image_library.h"
#include "imaging/image_signature.h"
#include "imaging/jpeg_image.h"
#include "imaging/png_image.h"
#include "imaging/tiff_graphic.h"
#include "runtime/stream.h"
#include "tests/support/shell_command.h"
#include "tests/support/test_bitmaps.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kThreads = 4;
constexpr int kRounds = 3;

Bytes Saved(TGraphic& graphic) {
  TMemoryStream stream;
  graphic.SaveToStream(stream);
  return stream.Bytes();
}

// One file of each kind the readers share code for, from the program's own writers.
std::vector<Bytes> Files() {
  TBitmap pattern = Pattern(40, 24);
  TJPEGImage jpeg;
  jpeg.Assign(pattern);
  TPNGImage png;
  png.Assign(pattern);
  TTiffGraphic tiff;
  tiff.Assign(pattern);
  tiff.SetCompression(tcZLib);
  return {Saved(pattern), Saved(jpeg), Saved(png), Saved(tiff)};
}

// The file read by the class its signature picks in the shared format registry, and drawn.
TDib Decode(const Bytes& bytes) {
  const std::string kind = ImageKindOfBytes(bytes);
  const TGraphicClass graphicClass = FileFormats().FindExt(kind.substr(1));
  std::unique_ptr<TGraphic> graphic = graphicClass.Create();
  TMemoryStream stream(bytes);
  graphic->LoadFromStream(stream);
  TBitmap shown;
  shown.SetSize(graphic->Width(), graphic->Height());
  shown.Canvas().Draw(0, 0, *graphic);
  return shown.Dib();
}

class ThreadedDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterJPEGFormats();
    RegisterPNGFormat();
  }
  void TearDown() override {
    UnregisterJPEGFormats();
    UnregisterPNGFormat();
  }
  TImageLibraryFormats libraryFormats_;  // TIFF among them
};

TEST_F(ThreadedDecodeTest, EveryThreadGetsWhatOneThreadGets) {
  const std::vector<Bytes> files = Files();
  std::vector<TDib> alone;
  for (const Bytes& file : files) alone.push_back(Decode(file));
  std::vector<std::vector<TDib>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round)
        for (const Bytes& file : files) got[t].push_back(Decode(file));
    });
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t)
    for (size_t i = 0; i < got[t].size(); ++i)
      EXPECT_EQ(got[t][i].Bits, alone[i % files.size()].Bits) << "thread " << t << ", file " << i;
}

TEST_F(ThreadedDecodeTest, HelgrindFindsNoRace) {
  const TCommandResult result = RunCommand(
      "valgrind --tool=helgrind --error-exitcode=3 -q " + std::string(ISOVIEW_BINARY_DIR) +
      "/bin/tests_imaging --gtest_filter=ThreadedDecodeTest.EveryThread* 2>&1");
  EXPECT_EQ(result.status, 0) << result.output;
}

}  // namespace
