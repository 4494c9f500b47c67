// Feeds arbitrary header lines to what a source check reads from a reply. Checks: a length
// is -1 or a count, and the texts reported hold no line end of the input.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "source_check/source_check_reply.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (size_t at = 0, end; at <= text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
  }
  const TReplyFacts facts = ReadReplyFacts(lines);
  Check(facts.ContentLength >= -1);
  Check(facts.ContentType.find('\n') == std::string::npos);
  Check(facts.LastModified.find('\n') == std::string::npos);
  return 0;
}
