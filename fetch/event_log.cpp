#include "fetch/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>

#include "runtime/strings.h"

std::string LogStamp(long long unixSeconds) {
  const time_t when = static_cast<time_t>(unixSeconds);
  tm utc{};
  gmtime_r(&when, &utc);
  return Format("%04d-%02d-%02d %02d:%02d:%02d UTC ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

void TEventLog::Add(const std::string& text) const {
  if (fileName_.empty()) return;
  // Line breaks inside the text would split one event over several log lines.
  std::string line = LogStamp(std::time(nullptr)) + text;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  line += '\n';
  const int fd = ::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  // One write with O_APPEND keeps the line whole.
  [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
}
