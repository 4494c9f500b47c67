#include "app/new_program_folder.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "runtime/exceptions.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& folder, const std::string& reason) {
  throw Exception("Cannot create the program folder " + folder + ": " + reason);
}

void Check(const std::error_code& error, const std::string& folder) {
  if (error) Fail(folder, error.message());
}

// A folder beside the new one that is filled first; it is gone on every way out, after
// the rename because it has become the program folder.
class TStagingFolder {
 public:
  TStagingFolder(const fs::path& place, const std::string& folder)
      : path_(place.string() + ".new-" + std::to_string(::getpid())) {
    std::error_code error;
    fs::remove_all(path_, error);  // left by a crashed start with the same process number
    fs::create_directory(path_, error);
    Check(error, folder);
  }
  ~TStagingFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TStagingFolder(const TStagingFolder&) = delete;
  TStagingFolder& operator=(const TStagingFolder&) = delete;

  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// Copies the regular files of the examples folder; answers how many there were.
int CopyExamples(const fs::path& examples, const fs::path& into, const std::string& folder) {
  std::error_code error;
  int copied = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(examples, error)) {
    if (!entry.is_regular_file()) continue;
    fs::copy_file(entry.path(), into / entry.path().filename(), error);
    Check(error, folder);
    ++copied;
  }
  return copied;
}

std::string CreatedMessage(const std::string& folder, const std::string& examples, int copied) {
  if (copied == 0)
    return "Created the program folder " + folder + "; no example lists in " + examples;
  return "Created the program folder " + folder + " with the example lists from " + examples;
}

}  // namespace

// The examples are copied into a staging folder that is then renamed into place: a crash
// or a full disk never leaves a folder with half the lists in it, which the next start
// would take for the operator's own.
std::string MakeProgramFolder(const std::string& folder, const std::string& examplesFolder) {
  const fs::path normal = fs::path(folder).lexically_normal();
  const fs::path place = normal.has_filename() ? normal : normal.parent_path();
  std::error_code error;
  if (fs::is_directory(place, error)) return "";
  if (fs::exists(place, error)) Fail(folder, "it is not a folder");
  fs::create_directories(place.parent_path(), error);
  Check(error, folder);
  const TStagingFolder staging(place, folder);
  const int copied = fs::is_directory(examplesFolder, error)
                         ? CopyExamples(examplesFolder, staging.Path(), folder)
                         : 0;
  fs::rename(staging.Path(), place, error);
  // Another start that made it meanwhile has made the operator's folder.
  if (error && fs::is_directory(place)) return "";
  Check(error, folder);
  return CreatedMessage(folder, examplesFolder, copied);
}
