#pragma once
// The command line of isoview-fetch: the options that set the client up as the program
// would fetch a source (time-out, HTTP proxy, SOCKS proxy, trusted authorities), then the
// URL and the file.

#include <string>
#include <vector>

#include "http/http_cli.h"

struct TFetchOptions {
  int timeout = THttpRequestSettings().Timeout;
  std::string proxyHost, proxyPort, proxyUser, proxyPassword;
  std::string socksHost, socksPort, socksLevel, socksUser, socksPassword;
  std::string caFile;
  bool help = false;
  std::string url, file;
};

extern const char kFetchUsage[];

// Reads args (without the program's name); false, with what was wrong in error, on a
// command line that names no URL and file or has an option or value it does not know.
bool ParseFetchOptions(const std::vector<std::string>& args, TFetchOptions& options,
                       std::string& error);

// Sets client up as the options say; options left out keep the client's defaults.
void ApplyFetchOptions(const TFetchOptions& options, THttpCli& client);
