#include "imaging/temporary_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kPrefix = "En";
constexpr const char* kDefaultTemporaryFolder = "/tmp";
constexpr const char* kCannotCreate = "Cannot create file %s";
// Far more copies than can be alive at once; past this the folder is unusable.
constexpr int kMaxCounter = 100000;

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  std::string path = folder && *folder ? folder : kDefaultTemporaryFolder;
  if (path.back() != '/') path += '/';
  return path;
}

// Claims the first free name; O_EXCL makes the claim safe against another process.
std::string ClaimFileName(const std::string& name) {
  const std::string folder = TemporaryFolder();
  std::string candidate;
  for (int counter = 0; counter < kMaxCounter; ++counter) {
    candidate = folder + kPrefix + IntToStr(counter) + "." + name;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return candidate;
    }
    if (errno != EEXIST) break;
  }
  throw EFCreateError(Format(kCannotCreate, candidate.c_str()));
}

}  // namespace

TTemporaryCopy::TTemporaryCopy(TStream& Source, const std::string& Name)
    : fileName_(ClaimFileName(ExtractFileName(Name))) {
  try {
    TFileStream file(fileName_, fmOpenWrite);
    const int64_t count = Source.Size() - Source.Position();
    if (count > 0) file.CopyFrom(Source, count);
  } catch (...) {
    ::unlink(fileName_.c_str());
    throw;
  }
}

TTemporaryCopy::~TTemporaryCopy() {
  ::unlink(fileName_.c_str());
}
