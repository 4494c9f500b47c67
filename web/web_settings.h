#pragma once
// Whether the program serves its web page, where, and with which token: off unless the
// settings file or the command line ("--web ADDRESS:PORT") gives an address. An address
// other than loopback is only served with a token.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "station/station_settings.h"

inline constexpr const char* kWebAddressKey = "web/address";
inline constexpr const char* kWebTokenKey = "web/token";

struct TWebAddress {
  std::string host;  // "127.0.0.1", "::1", "0.0.0.0"
  uint16_t port = 0;
  friend bool operator==(const TWebAddress&, const TWebAddress&) = default;
};

// "HOST:PORT", "[IPv6]:PORT", or ":PORT" / "PORT" for loopback; none when it is no such text.
std::optional<TWebAddress> ParseWebAddress(const std::string& text);

struct TWebSettings {
  std::optional<TWebAddress> address;  // none: no web page
  std::string token;                   // "": none asked for
  // The loops of /loop/, as the station's settings give them.
  int loopFrames = kDefaultLoopFrames;
  int loopDelayCentiseconds = kDefaultLoopDelayCentiseconds;
};

// The address of the command line (if any) or else of the settings, and the token of the
// settings. A text that is no address leaves the page off, and problems gets a line for it.
TWebSettings ReadWebSettings(const TSettingsSource& source, const std::string& commandLineAddress,
                             std::vector<std::string>& problems);
