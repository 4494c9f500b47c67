#pragma once
// Where a request goes: the server connected to (the URL's host or the proxy), the Host
// header, the request line's target and the Location reported to the user; made from the
// URL at the start of a request and changed by every Location header.

#include <string>

struct THttpTarget {
  std::string ServerName;
  std::string ServerPort;
  std::string HostHeaderValue;
  std::string RequestPath;
  std::string Location;
  bool Secure = false;  // https: TLS on the connection to the server
};

// The user's name and password, which a URL or a Location may replace.
struct THttpCredentials {
  std::string Username;
  std::string Password;
};

// The target of a request for url, straight to its host or, with proxy not empty, through
// the proxy (an absolute URL as the request path). target.RequestPath comes in as the
// previous request's path, the base of a relative url. A user or password in the url
// replaces the one in credentials. Gives the path the document name is derived from.
std::string StartTarget(const std::string& url, const std::string& proxy,
                        const std::string& proxyPort, THttpTarget& target,
                        THttpCredentials& credentials);

// Applies the value of a Location header: a path on the same server, a path relative to
// the current one, or an absolute http:// or https:// URL (whose user and password replace
// the credentials when both are given).
void ApplyLocation(const std::string& value, bool viaProxy, THttpTarget& target,
                   THttpCredentials& credentials);
