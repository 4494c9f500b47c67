// Two hostile servers on loopback, each fetched by this project's isoview-fetch and by curl
// under /usr/bin/time -f %M: one that sends header lines for ever (each well under the line
// limit), and one that sends a body for ever, fetched with --max-filesize 1000000. Prints
// each fetch's peak resident memory (goal for ours: under 20 MiB), what each stored and how
// each ended. Both servers stop after 1 GiB, so that a client without bounds ends too.

#include <cstdio>
#include <string>
#include <vector>

#include "bench/http_bench_support.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace http_bench;

constexpr int64_t kServedLimit = 1024 * kMiB;
constexpr long kPeakGoalKiB = 20 * 1024;
constexpr char kMaxFilesize[] = "1000000";

// Sends head, then piece again and again until kServedLimit bytes or the client is gone.
TBodyServer::THandler Endless(const std::string& head, const std::string& piece) {
  return [head, piece](int fd, int64_t) {
    ReadRequest(fd);
    if (!SendAll(fd, head.data(), head.size())) return;
    for (int64_t sent = 0; sent < kServedLimit; sent += static_cast<int64_t>(piece.size()))
      if (!SendAll(fd, piece.data(), piece.size())) return;
  };
}

struct TMeasured {
  long peakKiB = 0;
  long long stored = 0;
  std::string report;  // what the client printed (isoview-fetch) or its exit status
};

long long FileSize(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary | std::ios::ate);
  return file ? static_cast<long long>(file.tellg()) : -1;
}

// Runs the command under /usr/bin/time -f %M; the stored file is OUT.
TMeasured Measure(std::vector<std::string> command, const TempDir& dir) {
  std::vector<std::string> timed = {"/usr/bin/time", "-o", dir.File("peak.txt"), "-f", "%M"};
  timed.insert(timed.end(), command.begin(), command.end());
  for (std::string& arg : timed)
    if (arg == "OUT") arg = dir.File("stored.bin");
  const TChildRun run = RunChild(timed, dir.File("report.txt"));
  TMeasured measured;
  // time writes "Command exited with non-zero status N" before the figure when it did.
  const std::string peak = ReadWholeFile(dir.File("peak.txt"));
  const size_t last = peak.find_last_of('\n', peak.size() >= 2 ? peak.size() - 2 : 0);
  measured.peakKiB = std::stol("0" + peak.substr(last == std::string::npos ? 0 : last + 1));
  measured.stored = FileSize(dir.File("stored.bin"));
  measured.report = ReadWholeFile(dir.File("report.txt"));
  if (measured.report.empty()) measured.report = run.succeeded ? "exit 0\n" : "exit non-zero\n";
  return measured;
}

void Print(const char* who, const TMeasured& measured) {
  std::printf("  %-6s peak %.1f MiB, stored %lld bytes; it reported:", who,
              measured.peakKiB / 1024.0, measured.stored);
  for (size_t at = 0, end; (end = measured.report.find('\n', at)) != std::string::npos;
       at = end + 1)
    std::printf(" %s;", measured.report.substr(at, end - at).c_str());
  std::printf("\n");
}

bool Compare(const char* what, const std::string& url, const std::vector<std::string>& ours,
             const std::vector<std::string>& curl, const TempDir& dir, long long storedLimit) {
  std::printf("%s\n", what);
  std::vector<std::string> oursCommand = {SiblingProgram("isoview-fetch")};
  oursCommand.insert(oursCommand.end(), ours.begin(), ours.end());
  oursCommand.insert(oursCommand.end(), {url, "OUT"});
  const TMeasured mine = Measure(oursCommand, dir);
  std::vector<std::string> curlCommand = {"curl", "-s", "-S", "-o", "OUT"};
  curlCommand.insert(curlCommand.end(), curl.begin(), curl.end());
  curlCommand.push_back(url);
  const TMeasured peer = Measure(curlCommand, dir);
  Print("ours", mine);
  Print("curl", peer);
  const bool good = mine.peakKiB < kPeakGoalKiB && mine.stored <= storedLimit;
  std::printf("  ours under %ld MiB and stored at most %lld bytes: %s\n", kPeakGoalKiB / 1024,
              storedLimit, good ? "yes" : "NO");
  return good;
}

}  // namespace

int main() {
  TempDir dir;
  const std::string filler = "X-Filler: " + std::string(1000, 'a') + "\r\n";
  TBodyServer header(0, Endless("HTTP/1.0 200 OK\r\n", filler));
  bool good = Compare("Header lines for ever", header.Url(), {}, {}, dir, 0);
  TBodyServer body(
      0, Endless("HTTP/1.0 200 OK\r\n\r\n", std::string(Pattern().begin(), Pattern().end())));
  good = Compare("A body for ever, fetched with --max-filesize 1000000", body.Url(),
                 {"--max-filesize", kMaxFilesize}, {"--max-filesize", kMaxFilesize}, dir,
                 std::stoll(kMaxFilesize)) &&
         good;
  return good ? 0 : 1;
}
