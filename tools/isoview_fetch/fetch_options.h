#pragma once
// The command line of isoview-fetch: the options that set the client up as the program
// would fetch a source (time-outs, body limit, HTTP proxy, SOCKS proxy or the environment's
// proxies, trusted authorities), then the URL and the file, or --check and a list file.

#include <cstdint>
#include <string>
#include <vector>

#include "http/http_cli.h"
#include "http/proxy_env.h"

struct TFetchOptions {
  int timeout = THttpRequestSettings().Timeout;
  int maxTime = THttpRequestSettings().MaxTime;
  int64_t maxFileSize = THttpRequestSettings().MaxBodySize;
  std::string proxyHost, proxyPort, proxyUser, proxyPassword;
  std::string socksHost, socksPort, socksLevel, socksUser, socksPassword;
  bool noProxyGiven = false;  // --noproxy, whose list may be empty
  std::string noProxy;
  std::string caFile;
  bool help = false;
  std::string url, file;
  std::string checkFile;  // --check: the list file whose sources are checked instead
};

extern const char kFetchUsage[];

// Reads args (without the program's name); false, with what was wrong in error, on a
// command line that names neither a URL and a file nor --check and a list file, or has an
// option or value it does not know.
bool ParseFetchOptions(const std::vector<std::string>& args, TFetchOptions& options,
                       std::string& error);

// Sets client up as the options say; options left out keep the client's defaults. Without
// --proxy and --socks the proxies come from environment, whose no_proxy --noproxy
// replaces; with them, --noproxy names the hosts they are not used for.
void ApplyFetchOptions(const TFetchOptions& options, THttpCli& client,
                       TProxyEnvironment environment = ProcessProxyEnvironment());
