#include "station/station_settings.h"

#include <charconv>

namespace {

// Enough for any link a station has; more would only open more sockets to the same servers.
constexpr int64_t kMostDownloads = 64;
constexpr int64_t kLongestDeadlineSeconds = 7 * 24 * 3600;
constexpr int64_t kLargestBodyLimit = int64_t{1} << 40;
// A day of ten-minute charts; more would hold too many pictures in memory at once.
constexpr int64_t kMostLoopFrames = 144;
constexpr int64_t kLongestLoopDelay = 6000;
constexpr int64_t kLongestCommandWaitMinutes = 24 * 60;
constexpr int64_t kLongestCommandSeconds = 3600;

std::optional<int64_t> WholeNumber(const std::string& text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end) return std::nullopt;
  return value;
}

template <class T>
void Read(const TSettingsSource& source, const char* key, int64_t lowest, int64_t highest, T& value,
          std::vector<std::string>& problems) {
  const std::optional<std::string> text = source.Value(key);
  if (!text) return;
  const std::optional<int64_t> number = WholeNumber(*text);
  if (number && *number >= lowest && *number <= highest) {
    value = static_cast<T>(*number);
    return;
  }
  problems.push_back(std::string(kSettingsFileName) + ": " + key + " = \"" + *text +
                     "\" is no whole number from " + std::to_string(lowest) + " to " +
                     std::to_string(highest) + "; " + std::to_string(value) + " is used");
}

}  // namespace

TStationSettings ReadStationSettings(const TSettingsSource& source,
                                     std::vector<std::string>& problems) {
  TStationSettings settings;
  Read(source, kMaxDownloadsKey, 1, kMostDownloads, settings.maxDownloads, problems);
  Read(source, kMaxDownloadsPerHostKey, 1, kMostDownloads, settings.maxDownloadsPerHost, problems);
  Read(source, kDeadlineKey, 0, kLongestDeadlineSeconds, settings.deadlineSeconds, problems);
  Read(source, kBodyLimitKey, 0, kLargestBodyLimit, settings.bodyLimitBytes, problems);
  Read(source, kLoopFramesKey, 1, kMostLoopFrames, settings.loopFrames, problems);
  Read(source, kLoopDelayKey, 1, kLongestLoopDelay, settings.loopDelayCentiseconds, problems);
  settings.sourceCommand = source.Value(kSourceCommandKey).value_or("");
  Read(source, kSourceCommandAfterKey, 0, kLongestCommandWaitMinutes,
       settings.sourceCommandAfterMinutes, problems);
  Read(source, kSourceCommandTimeoutKey, 1, kLongestCommandSeconds,
       settings.sourceCommandTimeoutSeconds, problems);
  return settings;
}
