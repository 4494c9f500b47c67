#pragma once
// The station's part of the program's settings file: how many downloads run at once, how
// many to one host, and the limits of each request. The windows keep the file (Qt's INI
// format); the station reads its keys through TSettingsSource, so that it needs no Qt and
// tests can hand it keys of their own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "program/program_folder.h"

inline constexpr int kDefaultMaxDownloads = 4;
inline constexpr int kDefaultMaxDownloadsPerHost = 2;
// A whole transfer may take ten minutes: a fax chart over a slow line needs minutes, a
// server that trickles forever must not hold a download slot for good.
inline constexpr int kDefaultDeadlineSeconds = 600;
inline constexpr int64_t kDefaultBodyLimitBytes = int64_t{512} * 1024 * 1024;
// A loop of the last charts: an hour of ten-minute radar images, half a second each.
inline constexpr int kDefaultLoopFrames = 12;
inline constexpr int kDefaultLoopDelayCentiseconds = 50;
// The source command is told of a source failing this long: shorter than the give-up, so
// that the operator hears of a dead source before it is given up.
inline constexpr int kDefaultSourceCommandAfterMinutes = 5;
inline constexpr int kDefaultSourceCommandTimeoutSeconds = 60;

// The keys, "group/name" as QSettings writes them.
inline constexpr const char* kMaxDownloadsKey = "station/maxDownloads";
inline constexpr const char* kMaxDownloadsPerHostKey = "station/maxDownloadsPerHost";
inline constexpr const char* kDeadlineKey = "station/deadlineSeconds";
inline constexpr const char* kBodyLimitKey = "station/bodyLimitBytes";
inline constexpr const char* kLoopFramesKey = "loop/frames";
inline constexpr const char* kLoopDelayKey = "loop/delayCentiseconds";
inline constexpr const char* kSourceCommandKey = "sourceCommand/command";
inline constexpr const char* kSourceCommandAfterKey = "sourceCommand/afterMinutes";
inline constexpr const char* kSourceCommandTimeoutKey = "sourceCommand/timeoutSeconds";

struct TStationSettings {
  int maxDownloads = kDefaultMaxDownloads;
  int maxDownloadsPerHost = kDefaultMaxDownloadsPerHost;
  int deadlineSeconds = kDefaultDeadlineSeconds;    // 0: none
  int64_t bodyLimitBytes = kDefaultBodyLimitBytes;  // 0: none
  int loopFrames = kDefaultLoopFrames;
  int loopDelayCentiseconds = kDefaultLoopDelayCentiseconds;
  // Run by /bin/sh when a source has failed for sourceCommandAfterMinutes, is given up, or
  // delivers again; "" runs nothing.
  std::string sourceCommand;
  int sourceCommandAfterMinutes = kDefaultSourceCommandAfterMinutes;
  int sourceCommandTimeoutSeconds = kDefaultSourceCommandTimeoutSeconds;
};

class TSettingsSource {
 public:
  virtual ~TSettingsSource() = default;
  // The text of the key; none when the file does not set it.
  virtual std::optional<std::string> Value(const std::string& key) const = 0;
};

// The settings the source gives; a key it does not set keeps its default. A value that is
// no whole number in its range keeps the default too, and problems gets a line for it
// ("isoview.ini: station/maxDownloads = \"many\" is no whole number from 1 to 64; 4 is used").
TStationSettings ReadStationSettings(const TSettingsSource& source,
                                     std::vector<std::string>& problems);
