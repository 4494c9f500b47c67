#pragma once
// The program's log, "isoview.log" in the program folder: one line per event, each
// "YYYY-MM-DD HH:MM:SS UTC " followed by the text.

#include <string>

#include "runtime/clock.h"

inline constexpr const char* kLogFileName = "isoview.log";
// Past this size the log is renamed to "isoview.log.1" (an older .1 is dropped) and a new
// one is started, so months of running fill no disk.
inline constexpr long long kLogRotationSize = 10LL * 1024 * 1024;

class TEventLog {
 public:
  // Lines are stamped with the clock's time turned to UTC by the zone, as the date codes
  // turn it: a failed zone query stamps the local time rather than losing the line.
  explicit TEventLog(std::string fileName = {}, const TClock& clock = SystemClock(),
                     const TTimeZone& zone = SystemTimeZone())
      : fileName_(std::move(fileName)), clock_(&clock), zone_(&zone) {}

  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
  const std::string& FileName() const { return fileName_; }

  void SetRotationSize(long long bytes) { rotationSize_ = bytes; }

  // Appends one line stamped with the current UTC time, as one write of the whole line. A
  // write that fails (a full disk) must not stop the program: what it wrote in part is
  // cut off again, so that no line is glued to another, and the lost lines are counted
  // in a line of their own ("3 log lines could not be written") before the next line
  // that can be written.
  void Add(const std::string& text) const;
  // Lines lost since the last line that could be written.
  int LostLines() const { return lostLines_; }

 private:
  void RotateIfFull() const;

  std::string fileName_;
  const TClock* clock_;
  const TTimeZone* zone_;
  long long rotationSize_ = kLogRotationSize;
  // Callers hold the log as const: writing it down is no change of what they see.
  mutable int lostLines_ = 0;
};

// The stamp of a log line for a UTC time.
std::string LogStamp(TDateTime utc);
