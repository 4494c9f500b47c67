#include "app/qt_web_page.h"

#include <cstdio>

#include "app/qt_settings_file.h"
#include "runtime/clock.h"

namespace {

void TellProblem(const TEventLog& log, const std::string& problem) {
  log.Add("Error (Web page): " + problem);
  std::fprintf(stderr, "isoview: %s\n", problem.c_str());
}

}  // namespace

std::unique_ptr<TWebServer> StartWebPage(const std::string& programFolder,
                                         const std::string& commandLineAddress,
                                         const TStationSnapshot& snapshot,
                                         const TStationSettings& stationSettings,
                                         const TEventLog& log) {
  const TSettingsFile settingsFile(programFolder);
  std::vector<std::string> problems;
  TWebSettings settings = ReadWebSettings(settingsFile, commandLineAddress, problems);
  settings.loopFrames = stationSettings.loopFrames;
  settings.loopDelayCentiseconds = stationSettings.loopDelayCentiseconds;
  for (const std::string& problem : problems) TellProblem(log, problem);
  if (!settings.address) return nullptr;
  try {
    auto server = std::make_unique<TWebServer>(settings, snapshot, programFolder, SystemClock(),
                                               SystemTimeZone());
    log.Add("Web page served on port " + std::to_string(server->Port()) + " of " +
            settings.address->host);
    return server;
  } catch (const std::exception& error) {
    TellProblem(log, error.what());
    return nullptr;
  }
}
