#include "app/command_line.h"

#include <algorithm>

namespace {

constexpr const char* kFolderOption = "--folder";
constexpr const char* kFolderPrefix = "--folder=";

bool Has(const std::vector<std::string>& args, const std::string& option) {
  return std::find(args.begin(), args.end(), option) != args.end();
}

TCommandLine UsageError(std::string error) {
  return {TCommandAction::caUsageError, {}, std::move(error)};
}

}  // namespace

// --help and --version win wherever they stand, as in GNU programs.
TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  if (Has(args, "--help")) return {TCommandAction::caHelp, {}, {}};
  if (Has(args, "--version")) return {TCommandAction::caVersion, {}, {}};
  TCommandLine parsed;
  bool folderGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string folder;
    if (args[i] == kFolderOption) {
      if (i + 1 == args.size()) return UsageError("option '--folder' needs a folder");
      folder = args[++i];
    } else if (args[i].starts_with(kFolderPrefix)) {
      folder = args[i].substr(std::string(kFolderPrefix).size());
    } else {
      return UsageError((args[i].starts_with("-") ? "unknown option '" : "unexpected argument '") +
                        args[i] + "'");
    }
    if (folder.empty()) return UsageError("option '--folder' needs a folder");
    if (folderGiven) return UsageError("option '--folder' given twice");
    folderGiven = true;
    parsed.folder = folder;
  }
  return parsed;
}

std::string HelpText() {
  return "Usage: isoview [--folder DIR]\n"
         "Downloads, shows, saves and prints weather charts on a UTC timetable.\n"
         "\n"
         "  --folder DIR  use DIR as the program folder (made with the example lists\n"
         "                when it does not exist)\n"
         "  --help        show this text and exit\n"
         "  --version     show the version and exit\n"
         "\n"
         "Without --folder the program folder is the executable's folder when it holds\n"
         "schedule.txt, else $XDG_DATA_HOME/isoview (~/.local/share/isoview).\n"
         "QT_QPA_PLATFORM=offscreen runs the program without a display.\n"
         "See isoview(1).\n";
}

std::string VersionText() {
  return std::string("isoview ") + ISOVIEW_VERSION + "\n";
}
