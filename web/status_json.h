#pragma once
// /status.json: what the station page shows, for programs.

#include <string>

#include "web/station_snapshot.h"

std::string StatusJson(const TStationStatus& status, TDateTime now);
