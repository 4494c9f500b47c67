#pragma once
// The web page's server: Qt's HTTP server in a thread of its own with its own event loop,
// so that no client, however slow or hostile, holds up the station, and the station never
// waits for a client. It reads the station only through the snapshot. A loop is made on
// this thread too, at most once for each new save of its source: a request for one may
// keep the page's other requests waiting, never the station.

#include <QThread>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/clock.h"
#include "web/station_snapshot.h"
#include "web/web_settings.h"

// Connections beyond this are closed at once: the process's descriptors belong to the
// station's downloads first.
inline constexpr int kMostWebConnections = 256;

class TWebServer {
 public:
  // Starts listening; raises Exception with the reason when it cannot (the address is in
  // use, or is not loopback and no token is set).
  TWebServer(const TWebSettings& settings, const TStationSnapshot& snapshot,
             const std::string& programFolder, const TClock& clock, const TTimeZone& zone);
  ~TWebServer();
  TWebServer(const TWebServer&) = delete;
  TWebServer& operator=(const TWebServer&) = delete;

  uint16_t Port() const { return port_; }

 private:
  std::unique_ptr<QThread> thread_;
  uint16_t port_ = 0;
};
