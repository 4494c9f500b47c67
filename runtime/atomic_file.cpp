#include "runtime/atomic_file.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <regex>

#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Removes the temporary file unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
  ~TemporaryFile() {
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Name() const { return name_; }
  void Keep() { name_.clear(); }

 private:
  std::string name_;
};

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

// A rename would replace even a write-protected file; an operator who protected one
// means it to stay, so such a target is refused as a plain write would be. The answer
// is the target's permission bits, to be kept by its replacement (0 when it is new).
mode_t CheckReplaceable(const std::string& fileName) {
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0) return 0;
  if ((info.st_mode & kAnyWrite) == 0 || ::access(fileName.c_str(), W_OK) != 0)
    throw EFCreateError("Cannot create file " + fileName, EACCES);
  return info.st_mode & 07777;
}

// The bytes written into the temporary file; a failed write names the target, which is
// the file the operator knows, and the system's reason.
void WriteAndFlush(const TFileSave& save, TFileStream& file) {
  try {
    save.write(file);
    file.Flush();
  } catch (const EWriteError&) {
    if (file.WriteErrorReason().empty()) throw;
    throw EWriteError("Cannot write " + save.fileName + ": " + file.WriteErrorReason(),
                      file.WriteErrorNumber());
  }
}

// The file's bytes, written and forced to the disk under a temporary name beside it.
std::unique_ptr<TemporaryFile> WriteTemporary(const TFileSave& save) {
  const mode_t mode = CheckReplaceable(save.fileName);
  const std::string temporaryName = TemporaryNameBeside(save.fileName);
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(temporaryName, fmCreate);
  } catch (const EFCreateError& error) {
    throw EFCreateError("Cannot create file " + save.fileName, error.ErrorNumber());
  }
  auto guard = std::make_unique<TemporaryFile>(temporaryName);
  WriteAndFlush(save, *file);
  if (mode != 0) ::chmod(temporaryName.c_str(), mode);
  return guard;
}

// "<target>.isoview-<pid>-<16 hex digits>.tmp": the pid of the writer and nothing else
// of ours or of anyone else's looks like this.
const std::regex& TemporaryPattern() {
  static const std::regex pattern(R"(.+\.isoview-([0-9]{1,10})-[0-9a-f]{16}\.tmp)");
  return pattern;
}

bool ProcessExists(long pid) {
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::string FolderOf(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? "./" : fileName.substr(0, slash + 1);
}

void SaveFilesAtomicallyAfterCleanUp(const std::vector<TFileSave>& files) {
  std::vector<std::unique_ptr<TemporaryFile>> written;
  for (const TFileSave& save : files) written.push_back(WriteTemporary(save));
  for (size_t i = 0; i < files.size(); ++i) {
    if (std::rename(written[i]->Name().c_str(), files[i].fileName.c_str()) != 0)
      throw EFCreateError("Cannot create file " + files[i].fileName, errno);
    written[i]->Keep();
  }
}

}  // namespace

void SaveFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write) {
  SaveFilesAtomically({{fileName, write}});
}

void SaveFilesAtomically(const std::vector<TFileSave>& files) {
  for (const TFileSave& save : files) RemoveDeadTemporaries(FolderOf(save.fileName));
  SaveFilesAtomicallyAfterCleanUp(files);
}

std::string TemporaryNameBeside(const std::string& fileName) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".isoview-%ld-%016llx.tmp", static_cast<long>(::getpid()),
                static_cast<unsigned long long>(random()));
  return fileName + suffix;
}

int RemoveDeadTemporaries(const std::string& folder) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return 0;
  int removed = 0;
  std::smatch match;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (!std::regex_match(name, match, TemporaryPattern())) continue;
    if (ProcessExists(std::stol(match[1].str()))) continue;
    if (::unlink((folder + name).c_str()) == 0) ++removed;
  }
  return removed;
}
