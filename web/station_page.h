#pragma once
// The station page: the UTC clock, the sources table, the queue, the last saves with their
// thumbnails and the errors, as one HTML page that reloads itself.

#include <string>

#include "web/station_snapshot.h"

// tokenQuery: "" or "?token=..." as the request carried it, added to every link.
std::string StationPage(const TStationStatus& status, TDateTime now, const std::string& tokenQuery);
