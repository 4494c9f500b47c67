#include "program/program_folder.h"

#include <unistd.h>

#include <climits>

#include "runtime/strings.h"

std::string ExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string ProgramFolderOf(const std::string& executablePath) {
  return ExtractFilePath(executablePath);
}
