#pragma once
// The program's log, "isoview.log" in the program folder: one line per event, each
// "YYYY-MM-DD HH:MM:SS UTC " followed by the text.

#include <string>

inline constexpr const char* kLogFileName = "isoview.log";

class TEventLog {
 public:
  TEventLog() = default;
  explicit TEventLog(std::string fileName) : fileName_(std::move(fileName)) {}

  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
  const std::string& FileName() const { return fileName_; }

  // Appends one line stamped with the current UTC time. Failures to write are ignored:
  // a full disk must not stop the program, and there is nowhere else to report them.
  void Add(const std::string& text) const;

 private:
  std::string fileName_;
};

// The stamp of a log line for a UTC time given as seconds since 1970.
std::string LogStamp(long long unixSeconds);
