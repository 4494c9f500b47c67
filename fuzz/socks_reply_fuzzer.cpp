// Feeds arbitrary bytes to the SOCKS reply judges as the socket does: each judge sees the
// reply grow a byte at a time until it gives its verdict. The first byte chooses the judge.
// Checks on the first verdict: a reply judged whole is no longer than what came and at least
// two bytes, its bound port is a port, and a failure carries a code of the SOCKS range and a
// text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/socks_protocol.h"

namespace {

using TJudge = TSocksReply (*)(const uint8_t* bytes, size_t count);
constexpr TJudge kJudges[] = {JudgeSocks5MethodReply, JudgeSocks5AuthReply, JudgeSocks4ConnectReply,
                              JudgeSocks5ConnectReply};
constexpr int kFirstSocksError = 20001;
constexpr int kLastSocksError = 20017;
constexpr long kLargestPort = 65535;

void Check(bool condition) {
  if (!condition) abort();
}

void CheckVerdict(const TSocksReply& reply, size_t count) {
  if (reply.Outcome == soFailed) {
    Check(reply.Error >= kFirstSocksError && reply.Error <= kLastSocksError);
    Check(!reply.Text.empty());
    return;
  }
  Check(reply.Length >= 2 && reply.Length <= count);
  if (reply.BoundPort.empty()) return;
  Check(reply.BoundPort.find_first_not_of("0123456789") == std::string::npos);
  Check(std::stol(reply.BoundPort) <= kLargestPort);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const TJudge judge = kJudges[data[0] % std::size(kJudges)];
  const uint8_t* reply = data + 1;
  const size_t length = size - 1;
  for (size_t count = 0; count <= length; ++count) {
    const TSocksReply verdict = judge(reply, count);
    if (verdict.Outcome == soIncomplete) continue;
    CheckVerdict(verdict, count);
    return 0;
  }
  return 0;
}
