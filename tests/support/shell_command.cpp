#include "tests/support/shell_command.h"

#include <sys/wait.h>

#include <cstdio>

TCommandResult RunCommand(const std::string& command) {
  TCommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TCommandResult RunTool(const std::string& tool, const std::string& arguments) {
  return RunCommand(std::string(ISOVIEW_BINARY_DIR) + "/bin/" + tool + " " + arguments + " 2>&1");
}
