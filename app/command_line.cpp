#include "app/command_line.h"

#include <algorithm>

namespace {

// The options that take a value, "--name VALUE" or "--name=VALUE", each at most once.
struct TValueOption {
  const char* name;
  std::string TCommandLine::*field;
  const char* value;  // what the value is, for the usage error
};
constexpr TValueOption kValueOptions[] = {{"--folder", &TCommandLine::folder, "a folder"},
                                          {"--web", &TCommandLine::web, "an ADDRESS:PORT"}};

bool Has(const std::vector<std::string>& args, const std::string& option) {
  return std::find(args.begin(), args.end(), option) != args.end();
}

TCommandLine Answer(TCommandAction action, std::string error = {}) {
  TCommandLine answer;
  answer.action = action;
  answer.error = std::move(error);
  return answer;
}

TCommandLine UsageError(std::string error) {
  return Answer(TCommandAction::caUsageError, std::move(error));
}

}  // namespace

// --help and --version win wherever they stand, as in GNU programs.
TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  if (Has(args, "--help")) return Answer(TCommandAction::caHelp);
  if (Has(args, "--version")) return Answer(TCommandAction::caVersion);
  TCommandLine parsed;
  std::vector<std::string> given;
  for (size_t i = 0; i < args.size(); ++i) {
    const auto option = std::ranges::find_if(kValueOptions, [&](const TValueOption& o) {
      return args[i] == o.name || args[i].starts_with(std::string(o.name) + "=");
    });
    if (option == std::end(kValueOptions))
      return UsageError((args[i].starts_with("-") ? "unknown option '" : "unexpected argument '") +
                        args[i] + "'");
    const std::string name = option->name;
    std::string value;
    if (args[i] == name) {
      if (i + 1 == args.size()) return UsageError("option '" + name + "' needs " + option->value);
      value = args[++i];
    } else {
      value = args[i].substr(name.size() + 1);
    }
    if (value.empty()) return UsageError("option '" + name + "' needs " + option->value);
    if (Has(given, name)) return UsageError("option '" + name + "' given twice");
    given.push_back(name);
    parsed.*(option->field) = value;
  }
  return parsed;
}

std::string HelpText() {
  return "Usage: isoview [--folder DIR] [--web ADDRESS:PORT]\n"
         "Downloads, shows, saves and prints weather charts on a UTC timetable.\n"
         "\n"
         "  --folder DIR  use DIR as the program folder (made with the example lists\n"
         "                when it does not exist)\n"
         "  --web ADDRESS:PORT  serve the station's web page and /metrics there\n"
         "                (127.0.0.1 when ADDRESS is left out; any other address\n"
         "                needs web/token in isoview.ini)\n"
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
