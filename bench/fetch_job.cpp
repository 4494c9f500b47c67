// One scheduled job for a two-colour fax chart (1728 x 2200 unless given) from a loopback
// server - download, decode, save as GIF - through the station, against the shell pipeline
// an operator would write: curl, then ImageMagick's convert remapping to the web palette.
// Alternated rounds. The headline is the median ratio of processor time (ours / pipeline):
// the pipeline is two processes, whose wall time a loaded machine stretches more than
// ours, so the wall-time ratio is printed beside it only. No ratio unless both saved files
// decode to the same pixels. The resident memory of this process before the jobs and its
// peak while they ran are printed too.
// Usage: bench_fetch_job [ROUNDS [WIDTH HEIGHT]]

#include <sys/resource.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/gif_bench_support.h"
#include "bench/run_context.h"
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

// ImageMagick by its full name: a wrapper earlier on PATH must not be what is timed.
constexpr const char* kConvert = "/usr/bin/convert";

struct TOptions {
  int Rounds = 7;
  int Width = 1728;
  int Height = 2200;
};

TOptions ReadOptions(int argc, char** argv) {
  TOptions options;
  if (argc > 1) options.Rounds = std::max(1, std::atoi(argv[1]));
  if (argc > 3) {
    options.Width = std::atoi(argv[2]);
    options.Height = std::atoi(argv[3]);
  }
  return options;
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

// Both files read back by giflib to the same colours, pixel for pixel.
bool SamePixels(const std::string& ours, const std::string& peer) {
  const auto bytesOf = [](const std::string& file) {
    const std::string bytes = ReadWholeFile(file);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  };
  const std::vector<uint32_t> ourColors = ReadGiflibColors(bytesOf(ours));
  return !ourColors.empty() && ourColors == ReadGiflibColors(bytesOf(peer));
}

// A size of /proc/self/status in MiB: "VmRSS:" now, "VmHWM:" the largest since the last
// reset; -1 when not found.
double StatusMiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + field.size()) / 1024;  // kB
  return -1;
}

// Starts a new peak from the size resident now, so that the jobs' peak is not the set-up's.
void ResetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace

int main(int argc, char** argv) {
  const TOptions options = ReadOptions(argc, argv);
  // As the program does at its start.
  KeepFreedImageMemory();
  const TProgramFormats formats;
  TempDir dir;
  THttpFileServer server;
  const std::vector<uint8_t> chart = BlackOnWhiteFaxGif(options.Width, options.Height);
  server.Serve("/fax/chart.gif", {chart.begin(), chart.end()});
  const std::string url = server.Url("/fax/chart.gif");

  // The wall clock stands still, so that each round's line, added by an edit, is due in
  // the minute the station is in.
  const FakeClock clock(EncodeDateTime({2026, 12, 8, 10, 15, 5}));
  const FakeTimeZone zone;
  TBenchReport report;
  TStation station({dir.Path(), &clock, &zone, &SystemSteadyClock(), {}, nullptr, 0}, report);
  WriteTextFile(dir.File("schedule.txt"), {});
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
  const std::string pipeline = "curl -s -o '" + dir.File("peer-chart.gif") + "' '" + url + "' && " +
                               kConvert + " '" + dir.File("peer-chart.gif") +
                               "' -dither None -remap netscape: '" + dir.File("peer.gif") + "'";

  std::vector<double> ours, peer, ratios, cpuRatios;
  ResetPeakResident();
  const double residentBefore = StatusMiB("VmRSS:");
  for (int round = 0; round < options.Rounds; ++round) {
    const TCost job = Measure(RUSAGE_SELF, runJob);
    const TCost shell = Measure(RUSAGE_CHILDREN, [&] {
      if (std::system(pipeline.c_str()) != 0) std::fprintf(stderr, "pipeline failed\n");
    });
    ours.push_back(job.Wall);
    peer.push_back(shell.Wall);
    ratios.push_back(job.Wall / shell.Wall);
    cpuRatios.push_back(job.Cpu / shell.Cpu);
  }
  const double jobsPeak = StatusMiB("VmHWM:");
  const std::string lastOurs = dir.File("ours-" + std::to_string(schedule.size() - 1) + ".gif");
  PrintRunContext();
  std::printf("fetch job (download, display, GIF save) of a %d x %d chart\n", options.Width,
              options.Height);
  if (!SamePixels(lastOurs, dir.File("peer.gif"))) {
    std::printf("  the saved files differ in their pixels; no ratio\n");
    return 1;
  }
  std::printf("  ours            %.3f s (median of %d)\n", Median(ours), options.Rounds);
  std::printf("  curl + convert  %.3f s\n", Median(peer));
  std::printf("  processor time ratio ours/pipeline: %.3f (goal <= 0.15)   wall time ratio: %.3f\n",
              Median(cpuRatios), Median(ratios));
  std::printf(
      "  resident memory of this process: %.1f MiB before the jobs, at most %.1f MiB "
      "while they ran (the chart at 24 bits: %.1f MiB)\n",
      residentBefore, jobsPeak, double(options.Width) * options.Height * 3 / (1 << 20));
  return 0;
}
