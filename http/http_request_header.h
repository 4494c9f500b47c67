#pragma once
// The settings of THttpCli that a request is made from, and the header lines they give.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/date_time.h"

// The client's published settings, with their defaults. THttpCli derives from this, so
// they read as its properties: Client.URL, Client.Agent, ...
struct THttpRequestSettings {
  std::string URL;
  std::string LocalAddr = "0.0.0.0";
  std::string Proxy;  // empty: no proxy
  std::string ProxyPort = "80";
  std::string Sender;  // the From header
  std::string Agent = "Mozilla/3.0 (compatible)";
  std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  std::string AcceptLanguage;
  std::string Reference;  // the Referer header
  std::string Username, Password;
  std::string ProxyUsername, ProxyPassword;
  bool NoCache = false;
  TDateTime ModifiedSince;  // 0: no If-Modified-Since
  std::string Cookie;
  std::string ContentTypePost = "application/x-www-form-urlencoded";
  std::string ContentRangeBegin, ContentRangeEnd;
  // Seconds a request may go without progress before it ends; 0 waits for ever.
  int32_t Timeout = 60;
  // Seconds one request may take in all, its redirects included; 0: no limit.
  int32_t MaxTime = 0;
  // The most bytes of a body the request stores; a longer one ends it. 0: no limit.
  int64_t MaxBodySize = 0;
};

// What a request line and a Host header are made of.
struct THttpRequestLine {
  std::string Method;
  std::string Version;
  std::string RequestPath;
  std::string HostHeaderValue;
  int64_t PostSize = 0;  // the Content-Length of a POST
  // The credentials for this server, empty when it gets none.
  std::string Username, Password;
  // The request goes to the proxy itself (not through its tunnel): it carries the proxy's
  // credentials.
  bool ToProxy = false;
};

// The header lines of one request in their order, without line ends and without the
// blank line that ends the header.
std::vector<std::string> RequestHeaderLines(const THttpRequestSettings& settings,
                                            const THttpRequestLine& request);

// The header lines of the CONNECT request that asks the proxy for a tunnel to authority
// ("host:port").
std::vector<std::string> TunnelRequestLines(const THttpRequestSettings& settings,
                                            const std::string& authority);
