#pragma once
// One line of "schedule.txt": a fetch event at a UTC time of day.

#include <array>
#include <string>
#include <vector>

enum TScheduleField { sfTime, sfNeg, sfResourceName, sfURL, sfPrint, sfFilename };
inline constexpr int kScheduleFieldCount = 6;
// The most characters of a URL the file keeps.
inline constexpr size_t kScheduleUrlWidth = 140;

// The editor's titles of the fields; they are not stored in the file.
inline constexpr std::array<const char*, kScheduleFieldCount> kScheduleTitles = {
    "Time (UTC)", "Neg", "Resource name", "URL", "Print", "Filename"};

struct ScheduleEvent {
  std::array<std::string, kScheduleFieldCount> fields;

  // The line as written: Time 1-5, Neg 6-7, Resource name 8-59, URL 60-199, Print
  // 200-201, Filename 202-456, without trailing blanks.
  std::string ToLine() const;
  // Why the row cannot be saved as it is, or empty: a row with anything in it needs a Time
  // of four digits HHMM of a real time (any other never falls due), and its Resource name,
  // URL and Filename may not be longer than what their columns give back when read (the
  // flags are read by their first character, as they always were).
  std::string Problem() const;

  bool operator==(const ScheduleEvent&) const = default;
};

// The editor's reading: lines shorter than kMinimumScheduleLine are skipped; the others
// give Time 1-4, Neg 6, Resource name 8-57, URL 60-199, Print 200-201 and Filename
// 202-456, each trimmed.
inline constexpr size_t kMinimumScheduleLine = 4;
std::vector<ScheduleEvent> ReadScheduleEvents(const std::vector<std::string>& lines);
