#pragma once
// The in-memory copy of "schedule.txt": every line kept whole, as read.

#include <optional>
#include <string>
#include <vector>

class TEventTable {
 public:
  static constexpr int kCapacity = 100;

  // Replaces the table with the lines of the file (empty lines included, nothing trimmed).
  // Lines beyond the capacity are ignored; the answer is how many were. A missing file
  // raises the runtime's file error and leaves the table empty.
  int Load(const std::string& fileName);

  int Count() const { return static_cast<int>(lines_.size()); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// The text shown when a schedule holds more lines than the table.
std::string DroppedEventsMessage(int dropped);

inline constexpr int kMinutesPerDay = 24 * 60;

// The UTC minute of the day a line falls due: its first four characters are the digits
// HHMM of a time of day. None for a line the clock never matches ("9:30", "2400", "").
std::optional<int> DueMinuteOfDay(const std::string& line);
