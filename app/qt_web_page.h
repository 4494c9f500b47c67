#pragma once
// The web page switched on by the settings file or --web: started beside the windows, its
// problems logged and told on standard error, never stopping the program.

#include <memory>
#include <string>

#include "program/event_log.h"
#include "web/station_snapshot.h"
#include "web/web_server.h"

// None when the page is off or cannot be served.
std::unique_ptr<TWebServer> StartWebPage(const std::string& programFolder,
                                         const std::string& commandLineAddress,
                                         const TStationSnapshot& snapshot, const TEventLog& log);
