// The sources' history, which an operator may edit and a crash may cut: whatever the bytes,
// what is read writes back to text that reads back to the same text, and every source it
// keeps was in what was read.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "station/source_history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TSourceRecords records = ParseSourceHistory(bytes);
  const std::string text = SourceHistoryText(records);
  const TSourceRecords again = ParseSourceHistory(text);
  if (SourceHistoryText(again) != text) std::abort();
  for (const auto& [url, record] : again)
    if (!records.contains(url)) std::abort();
  return 0;
}
