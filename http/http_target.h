#pragma once
// Where a request goes: the server connected to (the URL's host or the proxy), the Host
// header, the request line's target and the Location reported to the user; made from the
// URL at the start of a request and changed by every Location header.

#include <string>

struct THttpTarget {
  std::string ServerName;
  std::string ServerPort;
  std::string HostHeaderValue;  // the document's host, without its port
  std::string HostPort;         // the document's port when it is not the scheme's default
  std::string RequestPath;
  std::string Location;  // never with a password
  bool Secure = false;   // https: TLS on the connection to the server
};

// "scheme://host:port" of the document the target names, the port always written.
std::string TargetOrigin(const THttpTarget& target);
// The Host header's value: the host, and its port when that is not the default.
std::string HostField(const THttpTarget& target);

// What an HTTP proxy is asked to connect to for a tunnel: "host:port", the port always
// written, an IPv6 address in brackets.
std::string TunnelAuthority(const THttpTarget& target);
// The request target sent through a tunnel: the path (and query) of the absolute URL a
// proxied request names.
std::string TunnelledRequestPath(const THttpTarget& target);

// A user's name and password and the origin (as TargetOrigin) they belong to: they are
// sent to that origin only.
struct THttpCredentials {
  std::string Username;
  std::string Password;
  std::string Origin;
};

// The target of a request for url, straight to its host or, with proxy not empty, through
// the proxy (an absolute URL as the request path). target.RequestPath comes in as the
// previous request's path, the base of a relative url. credentials come in as the client's
// own; a user or password in the url (percent-escapes decoded) replaces them. Either way
// they then belong to the url's origin. Gives the path the document name is derived from.
std::string StartTarget(const std::string& url, const std::string& proxy,
                        const std::string& proxyPort, THttpTarget& target,
                        THttpCredentials& credentials);

// The absolute URL of the document the target names: the base of a relative Location.
std::string CurrentUrl(const THttpTarget& target);

// Goes on to url, the absolute http:// or https:// URL a Location resolved to (whose user
// and password, when both are given, become the credentials of its origin).
void ApplyLocation(const std::string& url, bool viaProxy, THttpTarget& target,
                   THttpCredentials& credentials);
