// A few bytes never cost the memory of the pictures they claim: each file is read as the
// program reads it (loaded, and drawn onto a bitmap of the image's size) in a child process,
// whose growth of peak memory getrusage reports.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <new>
#include <string>
#include <thread>

#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "tests/gif/gif_test_util.h"

namespace {

constexpr int kClear = 4;
constexpr int kEnd = 5;
constexpr int kSide = 16384;
constexpr long kBudgetKiB = 64 * 1024;
// The child may not take more than this over what it had: on a reader that allocates what
// the file claims, the read fails there instead of taking the machine's memory.
constexpr long kChildAddressSpaceMiB = 1024;

// As the fetch job shows a picture: a bitmap of the image's size, the image drawn on it.
std::string ReadAsTheProgramDoes(const Bytes& file) {
  try {
    TMemoryStream stream(file);
    TGIFImage image;
    image.LoadFromStream(stream);
    TBitmap preview;
    preview.SetHeight(image.Height());
    preview.SetWidth(image.Width());
    preview.Canvas().Draw(0, 0, image);
    return image.Truncated() ? "truncated" : "whole";
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const Exception& e) {
    return e.Message();
  }
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void LimitAddressSpace() {
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) +
                       (static_cast<rlim_t>(kChildAddressSpaceMiB) << 20);
  const rlimit cap{limit, limit};
  setrlimit(RLIMIT_AS, &cap);
}

struct TMeasured {
  std::string Outcome;
  long GrowthKiB = -1;
};

// The read runs on a thread of its own in the child, with a message loop of its own for an
// animation's painter.
TMeasured MeasureRead(const Bytes& file) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {"no pipe"};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    LimitAddressSpace();
    const long before = PeakKiB();
    std::string outcome;
    std::thread([&] { outcome = ReadAsTheProgramDoes(file); }).join();
    const std::string report = std::to_string(PeakKiB() - before) + " " + outcome;
    const ssize_t written = write(pipeEnds[1], report.data(), report.size());
    _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
  }
  close(pipeEnds[1]);
  std::string report;
  char buffer[256];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  close(pipeEnds[0]);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return {"crashed"};
  const size_t space = report.find(' ');
  if (space == std::string::npos) return {"no report"};
  return {report.substr(space + 1), std::stol(report.substr(0, space))};
}

// Clear, one pixel, end: 9 bits of 3-bit codes in one sub-block.
Bytes OnePixelData() {
  return ImageData(2, {{kClear, 3}, {1, 3}, {kEnd, 3}});
}

Bytes Frames(int count, const Bytes& data) {
  Bytes frames;
  for (int i = 0; i < count; ++i) frames = frames + Descriptor(0, 0, kSide, kSide) + data;
  return frames;
}

const Bytes kTrailer{0x3B};

}  // namespace

TEST(GIFBombs, ClaimsOfAFewBytesCostLittleMemory) {
  // Looping extension: NETSCAPE2.0, loop for ever.
  const Bytes loop = Bytes{0x21, 0xFF, 11} + Text("NETSCAPE2.0") + Bytes{3, 1, 0, 0, 0};
  // 2 KiB of codes: no more than about six million pixels.
  const Bytes longData = Bytes{2} + Chain(Bytes(2048, 0x49));
  struct TCase {
    const char* what;
    Bytes file;
    const char* outcome;
  };
  const std::vector<TCase> cases = {
      {"8 frames of 16384 x 16384 on a screen as large",
       Screen(kSide, kSide, 1) + loop + Frames(8, OnePixelData()) + kTrailer, "truncated"},
      {"one such frame without a code (26 bytes)",
       Screen(kSide, kSide) + Descriptor(0, 0, kSide, kSide) + Bytes{2, 0} + kTrailer, "truncated"},
      {"a whole one-pixel frame on a screen of 16384 x 16384",
       Screen(kSide, kSide, 1) + Descriptor(0, 0, 1, 1) + OnePixelData() + kTrailer, "whole"},
      {"a frame of 16384 x 16384 on a one-pixel screen",
       Screen(1, 1, 1) + Frames(1, OnePixelData()) + kTrailer, "truncated"},
      {"a frame of 16384 x 16384 with 2 KiB of codes",
       Screen(kSide, kSide, 1) + Frames(1, longData) + kTrailer, "truncated"},
      {"1000 frames of 16384 x 16384", Screen(kSide, kSide, 1) + Frames(1000, OnePixelData()),
       "truncated"},
  };
  for (const TCase& c : cases) {
    const TMeasured measured = MeasureRead(c.file);
    std::printf("%-56s %6zu bytes: %-9s peak +%ld KiB\n", c.what, c.file.size(),
                measured.Outcome.c_str(), measured.GrowthKiB);
    EXPECT_EQ(measured.Outcome, c.outcome) << c.what;
    EXPECT_GE(measured.GrowthKiB, 0) << c.what;
    EXPECT_LT(measured.GrowthKiB, kBudgetKiB) << c.what;
  }
}
