#include "station/event_table.h"

#include "runtime/strings.h"
#include "runtime/text_file.h"

int TEventTable::Load(const std::string& fileName) {
  lines_.clear();
  std::vector<std::string> lines = ReadTextFile(fileName);
  const int dropped = static_cast<int>(lines.size()) - kCapacity;
  if (dropped > 0) lines.resize(kCapacity);
  lines_ = std::move(lines);
  return dropped > 0 ? dropped : 0;
}

std::string DroppedEventsMessage(int dropped) {
  return "schedule.txt holds more than " + IntToStr(TEventTable::kCapacity) + " events: the last " +
         IntToStr(dropped) + " lines were ignored.";
}

std::optional<int> DueMinuteOfDay(const std::string& line) {
  if (line.size() < 4) return std::nullopt;
  for (size_t i = 0; i < 4; ++i)
    if (line[i] < '0' || line[i] > '9') return std::nullopt;
  const int hour = (line[0] - '0') * 10 + (line[1] - '0');
  const int minute = (line[2] - '0') * 10 + (line[3] - '0');
  if (hour >= 24 || minute >= 60) return std::nullopt;
  return hour * 60 + minute;
}
