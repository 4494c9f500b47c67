// The web page's numbered paths, as any client may write them: whatever the bytes, a path
// read as a chart's, a loop's or an archive page's holds nothing but the path's own letters
// and digits, never "..", and the number read is the one written.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "web/web_paths.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckPlain(const std::string& path) {
  Check(path.find_first_not_of("/abcdefghijklmnopqrstuvwxyz0123456789.") == std::string::npos);
  Check(path.find("..") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  if (const std::optional<size_t> line = ChartLine(path)) {
    CheckPlain(path);
    Check(*line > 0 && ChartLine(ChartPath(*line)) == line);
  }
  if (const std::optional<size_t> line = LoopLine(path)) {
    CheckPlain(path);
    Check(*line > 0 && LoopLine(LoopPath(*line)) == line);
  }
  if (const std::optional<int> page = ArchivePageIndex(path)) {
    CheckPlain(path);
    Check(*page >= 0 && ArchivePageIndex(ArchivePath(*page)) == page);
  }
  return 0;
}
