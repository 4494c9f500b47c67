// The list of saved pictures, which an operator may edit and a crash may cut: whatever the
// bytes, every save read writes back as the very line it came from, the latest saves are
// one per path and oldest first, and a rewrite keeps every save that counts and drops
// exactly the deleted paths.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "archive/saved_list.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckLatest(const std::vector<TSavedFile>& latest) {
  std::set<std::string> paths;
  for (size_t i = 0; i < latest.size(); ++i) {
    Check(paths.insert(latest[i].path).second);
    Check(i == 0 || latest[i - 1].savedAt.ms <= latest[i].savedAt.ms);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<TSavedListLine> lines = ParseSavedList(bytes);
  for (const TSavedListLine& line : lines)
    if (line.save) Check(SavedListLine(*line.save) == line.text + "\n");
  const std::vector<TSavedFile> latest = LatestSaves(lines);
  CheckLatest(latest);
  Check(LatestSaves(ParseSavedList(SavedListWithout(lines, {}))) == latest);
  if (latest.empty()) return 0;
  const std::vector<TSavedFile> rest =
      LatestSaves(ParseSavedList(SavedListWithout(lines, {latest.front().path})));
  Check(rest == std::vector<TSavedFile>(latest.begin() + 1, latest.end()));
  return 0;
}
