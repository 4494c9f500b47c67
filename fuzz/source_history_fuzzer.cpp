// The station's memory files, which an operator may edit and a crash may cut: whatever the
// bytes, what is read writes back to text that reads back to the same text, and every
// record it keeps was in what was read. The same bytes go to the sources' history and to
// the sources' health.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "station/source_health_file.h"
#include "station/source_history.h"

namespace {

template <class Parse, class Write>
void CheckRoundTrip(std::string_view bytes, Parse parse, Write write) {
  const auto records = parse(bytes);
  const std::string text = write(records);
  const auto again = parse(text);
  if (write(again) != text) std::abort();
  for (const auto& [key, record] : again)
    if (!records.contains(key)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckRoundTrip(bytes, ParseSourceHistory, SourceHistoryText);
  CheckRoundTrip(bytes, ParseSourceHealth, SourceHealthText);
  return 0;
}
