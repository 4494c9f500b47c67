#pragma once
// The in-memory copy of "schedule.txt": every line kept whole, as read.

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
