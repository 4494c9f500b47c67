#include "runtime/whole_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/file_write.h"

namespace {

// An open file descriptor, closed however the write ends.
class TAppendFile {
 public:
  explicit TAppendFile(const std::string& name)
      : fd_(::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666)) {}
  ~TAppendFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool AppendWhole(const std::string& fileName, const std::string& bytes) {
  const TAppendFile file(fileName);
  if (file.Fd() < 0) return false;
  struct stat before {};
  if (::fstat(file.Fd(), &before) != 0) return false;
  const ssize_t written = WriteToFile(fileName, file.Fd(), bytes.data(), bytes.size());
  if (written == static_cast<ssize_t>(bytes.size())) return true;
  if (written > 0 && ::ftruncate(file.Fd(), before.st_size) != 0) return false;
  return false;
}
