// A 200 MiB body over loopback from one local server, downloaded into a file by this
// project's client (isoview-fetch, one Get) and by curl (curl -s -o FILE), alternated
// rounds; checks both files, then prints the median time ratio (ours / curl; goal <= 0.55).
// The same over HTTPS (TLS from OpenSSL on the server side, a test authority trusted by both
// clients; goal <= 0.55).
// Then a 1 GiB body into /dev/null by each, for the peak memory of the fetching process
// (goal: flat, under 8 MiB: the body is streamed).

#include <openssl/ssl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/http_bench_support.h"
#include "bench/run_context.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace {

using namespace http_bench;

constexpr int64_t kTimedBody = 200 * kMiB;
constexpr int64_t kMemoryBody = 1024 * kMiB;
constexpr int kRounds = 7;
constexpr long kPeakGoalKiB = 8 * 1024;
constexpr double kPlainGoal = 0.55;
constexpr double kTlsGoal = 0.55;

struct TPair {
  TChildRun ours, curl;
};

// caFile: the authority curl is to trust (isoview-fetch takes it from SSL_CERT_FILE).
TPair FetchBoth(const std::string& url, const std::string& oursFile, const std::string& curlFile,
                const std::string& outputFile, const std::string& caFile = "") {
  TPair runs;
  runs.ours = RunChild({SiblingProgram("isoview-fetch"), url, oursFile}, outputFile);
  std::vector<std::string> curl{"curl", "-s", "-o", curlFile, url};
  if (!caFile.empty()) curl.insert(curl.end(), {"--cacert", caFile});
  runs.curl = RunChild(curl, "/dev/null");
  return runs;
}

// Median time of each and of the ratio over alternated rounds; false if a file was wrong.
bool TimeRounds(const std::string& what, const std::string& url, const TempDir& dir, double goal,
                const std::string& caFile = "") {
  const std::string ours = dir.File("ours.bin"), peer = dir.File("curl.bin");
  std::vector<double> oursTimes, curlTimes, ratios, processorRatios;
  bool identical = true;
  for (int round = 0; round < kRounds; ++round) {
    const TPair runs = FetchBoth(url, ours, peer, dir.File("fetch.txt"), caFile);
    if (!runs.ours.succeeded || !runs.curl.succeeded) std::fprintf(stderr, "a fetch failed\n");
    identical = identical && HoldsBody(ours, kTimedBody) && HoldsBody(peer, kTimedBody);
    oursTimes.push_back(runs.ours.seconds);
    curlTimes.push_back(runs.curl.seconds);
    ratios.push_back(runs.ours.seconds / runs.curl.seconds);
    processorRatios.push_back(runs.ours.processorSeconds / runs.curl.processorSeconds);
  }
  std::printf("%s download of a %lld MiB body over loopback into a file\n", what.c_str(),
              static_cast<long long>(kTimedBody / kMiB));
  std::printf("  ours (isoview-fetch)  %.3f s (median of %d)\n", Median(oursTimes), kRounds);
  std::printf("  curl                  %.3f s\n", Median(curlTimes));
  std::printf("  both files hold the served body: %s\n", identical ? "yes" : "NO");
  if (!identical) return false;
  std::printf("  ratio ours/curl: %.2f (goal <= %.2f)\n", Median(ratios), goal);
  // The server shares the machine with the client: a client held up by it shows here.
  std::printf("  processor time of the client, ours/curl: %.2f\n", Median(processorRatios));
  return true;
}

// The body over TLS, with the identity the test authority issued for 127.0.0.1.
TBodyServer::THandler TlsHandler(const TCertificateFiles& identity) {
  // OpenSSL writes without MSG_NOSIGNAL: a client that goes away must not end the benchmark.
  std::signal(SIGPIPE, SIG_IGN);
  std::shared_ptr<SSL_CTX> ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  if (SSL_CTX_use_certificate_chain_file(ctx.get(), identity.Certificate.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx.get(), identity.Key.c_str(), SSL_FILETYPE_PEM) != 1)
    throw std::runtime_error("cannot load " + identity.Certificate);
  return [ctx](int fd, int64_t size) {
    const std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(ctx.get()), SSL_free);
    SSL_set_fd(ssl.get(), fd);
    if (SSL_accept(ssl.get()) != 1) return;
    char request[kRequestLimit];
    size_t count = 0;
    if (SSL_read_ex(ssl.get(), request, sizeof request, &count) != 1) return;
    const std::string header = ReplyHeader(size);
    const auto write = [&](const char* bytes, size_t length) {
      size_t written = 0;
      return SSL_write_ex(ssl.get(), bytes, length, &written) == 1;
    };
    if (write(header.data(), header.size()) && SendBody(size, write)) SSL_shutdown(ssl.get());
  };
}

}  // namespace

int main() {
  PrintRunContext();
  TempDir dir;
  TBodyServer server(kTimedBody);
  const std::string report = dir.File("fetch.txt");
  bool identical = TimeRounds("HTTP", server.Url(), dir, kPlainGoal);

  const TTestCa ca(dir, "bench");
  TBodyServer secure(kTimedBody, TlsHandler(ca.Issue("server", {"127.0.0.1"})));
  setenv("SSL_CERT_FILE", ca.CertificateFile().c_str(), 1);
  identical =
      TimeRounds("HTTPS", secure.Url("https"), dir, kTlsGoal, ca.CertificateFile()) && identical;
  unsetenv("SSL_CERT_FILE");

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
