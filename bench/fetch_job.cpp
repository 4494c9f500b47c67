// One scheduled job for a 1728 x 2200 two-colour fax chart from a loopback server -
// download, decode, save as GIF - through the station, against the shell pipeline an
// operator would write: curl, then ImageMagick's convert remapping to the web palette.
// Alternated rounds; prints the median time ratio (ours / pipeline), goal <= 0.5.

#include <sys/resource.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "program/program_formats.h"
#include "runtime/clock.h"
#include "runtime/memory_reuse.h"
#include "runtime/text_file.h"
#include "station/station.h"
#include "tests/support/fake_clock.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWidth = 1728;
constexpr int kHeight = 2200;
constexpr int kRounds = 7;

// Isobars and a coast on white paper, with a text block: mostly long white runs.
std::string FaxChart() {
  PeerGif gif{kWidth, kHeight, 2, {}};
  PeerFrame frame;
  frame.Width = kWidth;
  frame.Height = kHeight;
  frame.Pixels.resize(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool isobar = (x * x / 900 + y * 3) % 157 < 2 || (x + y * y / 1300) % 233 < 2;
      const bool text = y < 120 && x < 900 && (x / 3 + y / 4) % 5 == 0;
      frame.Pixels[size_t(y) * kWidth + x] = isobar || text;
    }
  gif.Frames.push_back(frame);
  const std::vector<uint8_t> bytes = WriteGiflibGif(gif);
  return {bytes.begin(), bytes.end()};
}

// The station without a screen: it counts the saves and tells errors.
class TBenchReport : public TStationReport {
 public:
  void Saved(const TSaveReport&) override { ++saves; }
  void ErrorReported(const TErrorReport& error) override {
    std::fprintf(stderr, "%s\n", error.message.c_str());
  }
  int saves = 0;
};

// Wall time, and processor time of the given rusage target: this process for the job (its
// decoding runs on worker threads; the server's thread serves this side only meanwhile),
// the child processes for the pipeline.
struct TCost {
  double Wall;
  double Cpu;
};

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <class Step>
TCost Measure(int who, Step step) {
  const double cpuBefore = CpuSeconds(who);
  const auto start = std::chrono::steady_clock::now();
  step();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {wall, CpuSeconds(who) - cpuBefore};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  // As the program does at its start.
  KeepFreedImageMemory();
  const TProgramFormats formats;
  TempDir dir;
  THttpFileServer server;
  server.Serve("/fax/chart.gif", FaxChart());
  const std::string url = server.Url("/fax/chart.gif");

  // The wall clock stands still, so that each round's line, added by an edit, is due in
  // the minute the station is in.
  const FakeClock clock(EncodeDateTime({2026, 12, 8, 10, 15, 5}));
  const FakeTimeZone zone;
  TBenchReport report;
  TStation station({dir.Path(), &clock, &zone, &SystemSteadyClock(), {}, nullptr, 0}, report);
  station.Start();
  std::vector<std::string> schedule;
  const auto runJob = [&] {
    std::string line = "1015 n Chart";
    line.resize(59, ' ');
    line += url;
    line.resize(199, ' ');
    line += "n " + dir.File("ours-" + std::to_string(schedule.size()) + ".gif");
    schedule.push_back(line);
    WriteTextFile(dir.File("schedule.txt"), schedule);
    station.ScheduleEdited();
    const int saves = report.saves;
    station.Tick();
    if (!PumpUntil(MessageLoop::Current(), [&] { return report.saves > saves; }))
      std::fprintf(stderr, "the job did not save\n");
  };
  const std::string pipeline = "curl -s -o '" + dir.File("peer-chart.gif") + "' '" + url +
                               "' && convert '" + dir.File("peer-chart.gif") +
                               "' -dither None -remap netscape: '" + dir.File("peer.gif") + "'";

  std::vector<double> ours, peer, ratios, cpuRatios;
  for (int round = 0; round < kRounds; ++round) {
    const TCost job = Measure(RUSAGE_SELF, runJob);
    const TCost shell = Measure(RUSAGE_CHILDREN, [&] {
      if (std::system(pipeline.c_str()) != 0) std::fprintf(stderr, "pipeline failed\n");
    });
    ours.push_back(job.Wall);
    peer.push_back(shell.Wall);
    ratios.push_back(job.Wall / shell.Wall);
    cpuRatios.push_back(job.Cpu / shell.Cpu);
  }
  std::printf("fetch job (download, display, GIF save) of a %d x %d chart\n", kWidth, kHeight);
  std::printf("  ours      %.3f s (median of %d)\n", Median(ours), kRounds);
  std::printf("  curl + convert  %.3f s\n", Median(peer));
  std::printf("  processor time ratio ours/pipeline: %.2f\n", Median(cpuRatios));
  std::printf("  ratio ours/pipeline: %.2f (goal <= 0.5)\n", Median(ratios));
  return 0;
}
