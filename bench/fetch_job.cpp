// One scheduled job for a 1728 x 2200 two-colour fax chart from a loopback server -
// download, display, save as GIF - through the program's fetch job, against the shell
// pipeline an operator would write: curl, then ImageMagick's convert remapping to the
// web palette. Alternated rounds; prints the median time ratio (ours / pipeline), goal
// <= 0.5.

#include <sys/resource.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fetch/event_log.h"
#include "fetch/fetch_job.h"
#include "fetch/program_formats.h"
#include "http/http_cli.h"
#include "imaging/image_scroll_box.h"
#include "imaging/picture.h"
#include "runtime/clock.h"
#include "runtime/memory_reuse.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
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

// The job's window without a screen: nothing to show, no printer.
class TBenchWindow : public TFetchJobWindow {
 public:
  void ShowStatus(const std::string&) override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& Text) override { std::fprintf(stderr, "%s\n", Text.c_str()); }
  void PreviewChanged() override {}
  bool PrinterDisabled() override { return true; }
  void PrintPreview(const std::string&) override {}
  void FileSaved(const std::string&) override {}
};

// Wall time, and processor time of the given rusage target: this thread for the job (the
// server runs on its own thread and serves both sides), the child processes for the pipeline.
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

  THttpCli http;
  TFileDownload download(http);
  TPicture preview;
  TImageScrollBox viewer;
  TBenchWindow window;
  const TEventLog log(dir.File("isoview.log"));
  const TFetchJobContext context{window,     download,      preview,          viewer, log,
                                 dir.Path(), SystemClock(), SystemTimeZone(), nullptr};
  const TFetchInputs inputs{"n", url, "n", dir.File("ours.gif"), "Chart"};
  const std::string pipeline = "curl -s -o '" + dir.File("peer-chart.gif") + "' '" + url +
                               "' && convert '" + dir.File("peer-chart.gif") +
                               "' -dither None -remap netscape: '" + dir.File("peer.gif") + "'";

  std::vector<double> ours, peer, ratios, cpuRatios;
  for (int round = 0; round < kRounds; ++round) {
    const TCost job = Measure(RUSAGE_THREAD, [&] { RunFetchJob(context, inputs); });
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
