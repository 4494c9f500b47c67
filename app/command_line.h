#pragma once
// The program's command line, read before any window system starts, so that --help and
// --version answer on a machine without a display.

#include <string>
#include <vector>

enum class TCommandAction { caRun, caHelp, caVersion, caUsageError };

struct TCommandLine {
  TCommandAction action = TCommandAction::caRun;
  std::string folder;  // --folder DIR; empty: the program folder rule decides
  std::string error;   // what was wrong, for caUsageError
  std::string web;     // --web ADDRESS:PORT; empty: as the settings file says
};

inline constexpr int kExitUsage = 2;

// The arguments after the program's name.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string HelpText();
std::string VersionText();
