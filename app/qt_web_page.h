#pragma once
// The web page switched on by the settings file or --web: started beside the windows, its
// problems logged and told on standard error, never stopping the program.

#include <memory>
#include <string>

#include "program/event_log.h"
#include "station/station_settings.h"
#include "web/station_snapshot.h"
#include "web/web_server.h"

// None when the page is off or cannot be served. Its loops are made as the station's
// settings say, as the archive window's are.
std::unique_ptr<TWebServer> StartWebPage(const std::string& programFolder,
                                         const std::string& commandLineAddress,
                                         const TStationSnapshot& snapshot,
                                         const TStationSettings& stationSettings,
                                         const TEventLog& log);
