#include "program/event_log.h"

#include <sys/stat.h>

#include "program/date_codes.h"
#include "runtime/strings.h"
#include "runtime/whole_append.h"

std::string LogStamp(TDateTime utc) {
  const TDateTimeParts parts = DecodeDateTime(utc);
  return Format("%04d-%02d-%02d %02d:%02d:%02d UTC ", parts.year, parts.month, parts.day,
                parts.hour, parts.minute, parts.second);
}

namespace {

constexpr const char* kRotatedSuffix = ".1";

std::string LostLinesText(int lost) {
  return IntToStr(lost) + (lost == 1 ? " log line" : " log lines") + " could not be written";
}

}  // namespace

void TEventLog::Add(const std::string& text) const {
  if (fileName_.empty()) return;
  const std::string stamp = LogStamp(UtcForDateCodes(clock_->NowIn(*zone_)));
  // Line breaks inside the text would split one event over several log lines.
  std::string line = stamp + text;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  line += '\n';
  if (lostLines_ > 0) line = stamp + LostLinesText(lostLines_) + '\n' + line;
  RotateIfFull();
  if (AppendWhole(fileName_, line))
    lostLines_ = 0;
  else
    ++lostLines_;
}

void TEventLog::RotateIfFull() const {
  struct stat info {};
  if (::stat(fileName_.c_str(), &info) != 0 || info.st_size < rotationSize_) return;
  ::rename(fileName_.c_str(), (fileName_ + kRotatedSuffix).c_str());
}
