#include "app/event_table.h"

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
