#include "http/http_target.h"

#include "http/url_helpers.h"

namespace {

constexpr char kDefaultPort[] = "80";
constexpr char kSecurePort[] = "443";
constexpr char kDefaultScheme[] = "http";
constexpr char kSecureScheme[] = "https";
constexpr char kAbsolutePrefix[] = "http://";
constexpr char kSecurePrefix[] = "https://";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Both absolute forms follow the same rule, each with its own scheme (case-sensitive).
bool IsAbsolute(const std::string& location) {
  return StartsWith(location, kAbsolutePrefix) || StartsWith(location, kSecurePrefix);
}

bool IsSecure(const TUrlParts& parts) {
  return parts.scheme == kSecureScheme;
}

const char* DefaultPort(const TUrlParts& parts) {
  return IsSecure(parts) ? kSecurePort : kDefaultPort;
}

// The scheme of a Location on the current server.
std::string CurrentPrefix(const THttpTarget& target) {
  return target.Secure ? kSecurePrefix : kAbsolutePrefix;
}

std::string OrDefault(const std::string& text, const std::string& fallback) {
  return text.empty() ? fallback : text;
}

// scheme://host[:port]path, the request target of a proxy request.
std::string AbsoluteURL(const TUrlParts& parts, const std::string& path) {
  std::string url = OrDefault(parts.scheme, kDefaultScheme) + "://" + parts.host;
  if (!parts.port.empty()) url += ":" + parts.port;
  return url + path;
}

void TakeCredentials(const TUrlParts& parts, THttpCredentials& credentials) {
  if (!parts.user.empty()) credentials.Username = parts.user;
  if (!parts.password.empty()) credentials.Password = parts.password;
}

// An absolute Location changes the credentials only when it carries both.
void TakeLocationCredentials(const TUrlParts& parts, THttpCredentials& credentials) {
  if (!parts.user.empty() && !parts.password.empty()) TakeCredentials(parts, credentials);
}

void ApplyDirectLocation(const std::string& value, THttpTarget& target,
                         THttpCredentials& credentials) {
  if (StartsWith(value, "/")) {
    target.RequestPath = value;
    target.Location = CurrentPrefix(target) + target.ServerName + value;
    return;
  }
  if (!IsAbsolute(value)) {
    target.RequestPath = PathPrefix(target.RequestPath) + value;
    // The separator only where the path lacks one: "http://host//dir/b.gif" would name
    // another document.
    const char* separator = StartsWith(target.RequestPath, "/") ? "" : "/";
    target.Location = CurrentPrefix(target) + target.ServerName + separator + target.RequestPath;
    return;
  }
  TUrlParts parts;
  SplitURL(value, parts, target.RequestPath);
  target.ServerName = parts.host;
  target.ServerPort = OrDefault(parts.port, DefaultPort(parts));
  target.Secure = IsSecure(parts);
  TakeLocationCredentials(parts, credentials);
  const std::string prefix = parts.scheme + "://";
  if (!parts.host.empty()) {
    target.HostHeaderValue = target.ServerName;
    if (target.RequestPath.empty()) {
      target.RequestPath = "/";
      target.Location = prefix + target.ServerName;
    } else {
      target.Location = prefix + target.ServerName + target.RequestPath;
    }
    return;
  }
  // No host: the same server again.
  target.ServerName = target.HostHeaderValue;
  if (target.RequestPath.empty()) {
    target.Location = prefix + target.HostHeaderValue + "/";
    target.RequestPath = target.Location;
  } else {
    target.Location = prefix + target.HostHeaderValue + target.RequestPath;
  }
}

// Through a proxy every request path is an absolute URL, and the connection always goes
// to the proxy.
void ApplyProxyLocation(const std::string& value, THttpTarget& target,
                        THttpCredentials& credentials) {
  if (StartsWith(value, "/")) {
    TUrlParts current;
    std::string currentPath;
    SplitURL(target.RequestPath, current, currentPath);
    target.RequestPath = AbsoluteURL(current, value);
    target.Location = target.RequestPath;
    return;
  }
  if (!IsAbsolute(value)) {
    target.RequestPath = PathPrefix(target.RequestPath) + value;
    target.Location = target.RequestPath;
    return;
  }
  TUrlParts parts;
  std::string path;
  SplitURL(value, parts, path);
  target.Secure = IsSecure(parts);
  TakeLocationCredentials(parts, credentials);
  if (parts.host.empty()) parts.host = target.HostHeaderValue;
  target.HostHeaderValue = parts.host;
  path = OrDefault(path, "/");
  target.RequestPath = AbsoluteURL(parts, path);
  target.Location = OrDefault(parts.scheme, kDefaultScheme) + "://" + parts.host + path;
}

}  // namespace

std::string StartTarget(const std::string& url, const std::string& proxy,
                        const std::string& proxyPort, THttpTarget& target,
                        THttpCredentials& credentials) {
  TUrlParts parts;
  std::string documentPath;
  if (proxy.empty()) {
    SplitURL(url, parts, target.RequestPath);
    documentPath = target.RequestPath;
    target.ServerName = parts.host;
    target.ServerPort = OrDefault(parts.port, DefaultPort(parts));
  } else {
    SplitURL(url, parts, documentPath);
    target.RequestPath = AbsoluteURL(parts, documentPath);
    TUrlParts proxyParts;
    std::string proxyPath;
    SplitURL(proxy, proxyParts, proxyPath);
    target.ServerName = proxyParts.host;
    target.ServerPort = OrDefault(proxyParts.port, proxyPort);
  }
  target.HostHeaderValue = parts.host;
  target.Secure = IsSecure(parts);
  TakeCredentials(parts, credentials);
  if (target.RequestPath.empty()) target.RequestPath = "/";
  return documentPath;
}

void ApplyLocation(const std::string& value, bool viaProxy, THttpTarget& target,
                   THttpCredentials& credentials) {
  if (viaProxy)
    ApplyProxyLocation(value, target, credentials);
  else
    ApplyDirectLocation(value, target, credentials);
}
