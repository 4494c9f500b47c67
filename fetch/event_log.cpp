#include "fetch/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "fetch/date_codes.h"
#include "runtime/strings.h"

std::string LogStamp(TDateTime utc) {
  const TDateTimeParts parts = DecodeDateTime(utc);
  return Format("%04d-%02d-%02d %02d:%02d:%02d UTC ", parts.year, parts.month, parts.day,
                parts.hour, parts.minute, parts.second);
}

void TEventLog::Add(const std::string& text) const {
  if (fileName_.empty()) return;
  // Line breaks inside the text would split one event over several log lines.
  std::string line = LogStamp(UtcForDateCodes(clock_->NowIn(*zone_))) + text;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  line += '\n';
  const int fd = ::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  // One write with O_APPEND keeps the line whole.
  [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
}
