#include "runtime/atomic_file.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>

#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

std::string TemporaryNameBeside(const std::string& fileName) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%016llx~", static_cast<unsigned long long>(random()));
  return fileName + suffix;
}

// Removes the temporary file unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
  ~TemporaryFile() {
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  void Keep() { name_.clear(); }

 private:
  std::string name_;
};

}  // namespace

void SaveFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write) {
  const std::string temporaryName = TemporaryNameBeside(fileName);
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(temporaryName, fmCreate);
  } catch (const EFCreateError&) {
    throw EFCreateError("Cannot create file " + fileName);
  }
  TemporaryFile guard(temporaryName);
  write(*file);
  file->Flush();
  file.reset();
  if (std::rename(temporaryName.c_str(), fileName.c_str()) != 0)
    throw EFCreateError("Cannot create file " + fileName);
  guard.Keep();
}
