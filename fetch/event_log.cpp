#include "fetch/event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fetch/date_codes.h"
#include "runtime/strings.h"

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

// An open file descriptor, closed however the write ends.
class TLogFile {
 public:
  explicit TLogFile(const std::string& name)
      : fd_(::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666)) {}
  ~TLogFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  TLogFile(const TLogFile&) = delete;
  TLogFile& operator=(const TLogFile&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

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
  if (Append(line))
    lostLines_ = 0;
  else
    ++lostLines_;
}

// One write with O_APPEND keeps the line whole; a part written before the disk filled is
// cut off again.
bool TEventLog::Append(const std::string& lines) const {
  const TLogFile file(fileName_);
  if (file.Fd() < 0) return false;
  struct stat before {};
  if (::fstat(file.Fd(), &before) != 0) return false;
  const ssize_t written = ::write(file.Fd(), lines.data(), lines.size());
  if (written == static_cast<ssize_t>(lines.size())) return true;
  if (written > 0 && ::ftruncate(file.Fd(), before.st_size) != 0) return false;
  return false;
}

void TEventLog::RotateIfFull() const {
  struct stat info {};
  if (::stat(fileName_.c_str(), &info) != 0 || info.st_size < rotationSize_) return;
  ::rename(fileName_.c_str(), (fileName_ + kRotatedSuffix).c_str());
}
