#pragma once
// Runs a shell command the way the tests run peer tools and the program's own tools.

#include <string>

struct TCommandResult {
  int status = -1;     // the exit status; -1 when the command did not exit normally
  std::string output;  // what it printed on standard output
};

TCommandResult RunCommand(const std::string& command);

// One of the program's tools from the build's bin folder, with standard error joined to
// standard output.
TCommandResult RunTool(const std::string& tool, const std::string& arguments);
