#include "app/program_folder_choice.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "program/program_folder.h"
#include "schedule/list_files.h"

namespace {

constexpr const char* kDefaultDataHome = ".local/share/";
constexpr const char* kExamplesFromBin = "../share/isoview/examples/";

std::string WithSlash(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string PasswordHome() {
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
std::string DataHomeFolder(const TDataHome& dataHome) {
  if (dataHome.xdgDataHome.starts_with("/")) return WithSlash(dataHome.xdgDataHome);
  return WithSlash(dataHome.home) + kDefaultDataHome;
}

}  // namespace

TDataHome DataHomeFromEnvironment() {
  std::string home = EnvironmentValue("HOME");
  if (home.empty()) home = PasswordHome();
  return {EnvironmentValue("XDG_DATA_HOME"), home};
}

std::string ChooseProgramFolder(const std::string& explicitFolder,
                                const std::string& executablePath, const TDataHome& dataHome) {
  if (!explicitFolder.empty())
    return WithSlash(std::filesystem::absolute(explicitFolder).lexically_normal().string());
  const std::string executableFolder = ProgramFolderOf(executablePath);
  if (std::filesystem::is_regular_file(executableFolder + kScheduleFileName))
    return executableFolder;
  return DataHomeFolder(dataHome) + kProgramFolderName + "/";
}

std::string ExamplesFolderOf(const std::string& executablePath) {
  const std::filesystem::path examples = ProgramFolderOf(executablePath) + kExamplesFromBin;
  return WithSlash(examples.lexically_normal().string());
}
