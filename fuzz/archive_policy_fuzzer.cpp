// The archive policy on operator-edited text: whatever the bytes, reading either gives
// limits of at least 1 or refuses with a message naming the line, never anything else.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "archive/archive_policy.h"
#include "runtime/exceptions.h"
#include "runtime/text_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines =
      SplitTextLines(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    const TArchivePolicy policy = ParseArchivePolicy(lines);
    Check(!policy.keepDays || *policy.keepDays >= 1);
    Check(!policy.keepMegabytes || *policy.keepMegabytes >= 1);
  } catch (const Exception& error) {
    Check(std::string_view(error.what()).starts_with("line "));
  }
  return 0;
}
