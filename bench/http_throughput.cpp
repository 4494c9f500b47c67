// A 200 MiB body over loopback from one local server, downloaded into a file by this
// project's client (isoview-fetch, one Get) and by curl (curl -s -o FILE), alternated
// rounds; prints the median time ratio (ours / curl; goal <= 1.0) and checks both files.
// Then a 1 GiB body into /dev/null by each, for the peak memory of the fetching process
// (goal: flat, under 20 MiB: the body is streamed).

#include <cstdio>
#include <string>
#include <vector>

#include "bench/http_bench_support.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace http_bench;

constexpr int64_t kTimedBody = 200 * kMiB;
constexpr int64_t kMemoryBody = 1024 * kMiB;
constexpr int kRounds = 7;
constexpr long kPeakGoalKiB = 20 * 1024;

struct TPair {
  TChildRun ours, curl;
};

TPair FetchBoth(const std::string& url, const std::string& oursFile, const std::string& curlFile,
                const std::string& outputFile) {
  TPair runs;
  runs.ours = RunChild({SiblingProgram("isoview-fetch"), url, oursFile}, outputFile);
  runs.curl = RunChild({"curl", "-s", "-o", curlFile, url}, "/dev/null");
  return runs;
}

}  // namespace

int main() {
  TempDir dir;
  TBodyServer server(kTimedBody);
  const std::string ours = dir.File("ours.bin"), peer = dir.File("curl.bin");
  const std::string report = dir.File("fetch.txt");

  std::vector<double> oursTimes, curlTimes, ratios;
  bool identical = true;
  for (int round = 0; round < kRounds; ++round) {
    const TPair runs = FetchBoth(server.Url(), ours, peer, report);
    if (!runs.ours.succeeded || !runs.curl.succeeded) std::fprintf(stderr, "a fetch failed\n");
    identical = identical && HoldsBody(ours, kTimedBody) && HoldsBody(peer, kTimedBody);
    oursTimes.push_back(runs.ours.seconds);
    curlTimes.push_back(runs.curl.seconds);
    ratios.push_back(runs.ours.seconds / runs.curl.seconds);
  }
  std::printf("HTTP download of a %lld MiB body over loopback into a file\n",
              static_cast<long long>(kTimedBody / kMiB));
  std::printf("  ours (isoview-fetch)  %.3f s (median of %d)\n", Median(oursTimes), kRounds);
  std::printf("  curl                  %.3f s\n", Median(curlTimes));
  std::printf("  ratio ours/curl: %.2f (goal <= 1.0)\n", Median(ratios));
  std::printf("  both files hold the served body: %s\n", identical ? "yes" : "NO");

  server.SetSize(kMemoryBody);
  const TPair big = FetchBoth(server.Url(), "/dev/null", "/dev/null", report);
  std::printf("HTTP download of a %lld MiB body into /dev/null: peak resident memory\n",
              static_cast<long long>(kMemoryBody / kMiB));
  std::printf("  ours  %.1f MiB in %.3f s (goal: under %ld MiB)%s\n", big.ours.peakKiB / 1024.0,
              big.ours.seconds, kPeakGoalKiB / 1024, big.ours.succeeded ? "" : " FAILED");
  std::printf("  curl  %.1f MiB in %.3f s%s\n", big.curl.peakKiB / 1024.0, big.curl.seconds,
              big.curl.succeeded ? "" : " FAILED");
  std::printf("  what isoview-fetch reported:\n%s", ReadWholeFile(report).c_str());
  return identical && big.ours.succeeded ? 0 : 1;
}
