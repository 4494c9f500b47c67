#include "web/web_paths.h"

#include <charconv>
#include <limits>

namespace {

constexpr const char* kChartPrefix = "/chart/";
constexpr const char* kLoopPrefix = "/loop/";
constexpr const char* kLoopSuffix = ".gif";
constexpr const char* kArchivePath = "/archive";

// The number from 1 that path holds between prefix and suffix, and nothing else.
std::optional<size_t> NumberBetween(const std::string& path, const std::string& prefix,
                                    const std::string& suffix) {
  if (path.size() <= prefix.size() + suffix.size() || !path.starts_with(prefix) ||
      !path.ends_with(suffix))
    return std::nullopt;
  const char* first = path.data() + prefix.size();
  const char* last = path.data() + path.size() - suffix.size();
  size_t number = 0;
  const auto [end, error] = std::from_chars(first, last, number);
  if (error != std::errc() || end != last || number == 0) return std::nullopt;
  return number;
}

}  // namespace

std::string ChartPath(size_t line) {
  return kChartPrefix + std::to_string(line);
}

std::string LoopPath(size_t line) {
  return kLoopPrefix + std::to_string(line) + kLoopSuffix;
}

std::string ArchivePath(int pageIndex) {
  return pageIndex == 0 ? kArchivePath : kArchivePath + ("/" + std::to_string(pageIndex + 1));
}

std::optional<size_t> ChartLine(const std::string& path) {
  return NumberBetween(path, kChartPrefix, "");
}

std::optional<size_t> LoopLine(const std::string& path) {
  return NumberBetween(path, kLoopPrefix, kLoopSuffix);
}

std::optional<int> ArchivePageIndex(const std::string& path) {
  if (path == kArchivePath) return 0;
  const auto number = NumberBetween(path, std::string(kArchivePath) + "/", "");
  if (!number || *number > static_cast<size_t>(std::numeric_limits<int>::max()))
    return std::nullopt;
  return static_cast<int>(*number - 1);
}
