#pragma once
// The program's log, "isoview.log" in the program folder: one line per event, each
// "YYYY-MM-DD HH:MM:SS UTC " followed by the text.

#include <string>

#include "runtime/clock.h"

inline constexpr const char* kLogFileName = "isoview.log";

class TEventLog {
 public:
  // Lines are stamped with the clock's time turned to UTC by the zone, as the date codes
  // turn it: a failed zone query stamps the local time rather than losing the line.
  explicit TEventLog(std::string fileName = {}, const TClock& clock = SystemClock(),
                     const TTimeZone& zone = SystemTimeZone())
      : fileName_(std::move(fileName)), clock_(&clock), zone_(&zone) {}

  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
  const std::string& FileName() const { return fileName_; }

  // Appends one line stamped with the current UTC time. Failures to write are ignored:
  // a full disk must not stop the program, and there is nowhere else to report them.
  void Add(const std::string& text) const;

 private:
  std::string fileName_;
  const TClock* clock_;
  const TTimeZone* zone_;
};

// The stamp of a log line for a UTC time.
std::string LogStamp(TDateTime utc);
