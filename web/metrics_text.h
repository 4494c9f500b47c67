#pragma once
// /metrics in the Prometheus text format (version 0.0.4): saves and failures by source,
// the queue's length, each line's last good save, the bytes downloaded and the sources
// given up.

#include <string>

#include "web/station_snapshot.h"

std::string MetricsText(const TStationStatus& status);
