#include "http/http_target.h"

#include <cctype>

#include "http/url_helpers.h"
#include "runtime/strings.h"

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

// Schemes are case-insensitive; the rest of the URL is not.
std::string WithLowerScheme(const std::string& url) {
  const size_t separator = url.find("://");
  if (separator == std::string::npos || separator == 0) return url;
  for (size_t i = 0; i < separator; ++i)
    if (!std::isalpha(static_cast<unsigned char>(url[i]))) return url;
  return LowerCase(url.substr(0, separator)) + url.substr(separator);
}

// A fragment names a place in the document for the reader; servers never see it. Blanks
// around a URL are no part of it (RFC 3986 appendix C), as a browser takes it: only blanks
// inside are sent, percent-encoded.
std::string Requestable(const std::string& url) {
  const size_t first = url.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  const std::string trimmed = url.substr(first, url.find_last_not_of(' ') - first + 1);
  return WithLowerScheme(trimmed.substr(0, trimmed.find('#')));
}

bool IsSecure(const TUrlParts& parts) {
  return parts.scheme == kSecureScheme;
}

const char* DefaultPort(bool secure) {
  return secure ? kSecurePort : kDefaultPort;
}

std::string OrDefault(const std::string& text, const std::string& fallback) {
  return text.empty() ? fallback : text;
}

std::string NonDefaultPort(const TUrlParts& parts) {
  return parts.port == DefaultPort(IsSecure(parts)) ? std::string() : parts.port;
}

// The request target of a path: "?x=1" alone names the root's query.
std::string OriginForm(const std::string& path) {
  if (path.empty()) return "/";
  return StartsWith(path, "?") ? "/" + path : path;
}

std::string PortSuffix(const THttpTarget& target) {
  return target.HostPort.empty() ? std::string() : ":" + target.HostPort;
}

// The scheme and authority of a Location on the current server.
std::string CurrentPrefix(const THttpTarget& target) {
  return (target.Secure ? kSecurePrefix : kAbsolutePrefix) + UrlHost(target.ServerName) +
         PortSuffix(target);
}

// scheme://host[:port]path, the request target of a proxy request.
std::string AbsoluteURL(const TUrlParts& parts, const std::string& path) {
  std::string url = OrDefault(parts.scheme, kDefaultScheme) + "://" + UrlHost(parts.host);
  if (!parts.port.empty()) url += ":" + parts.port;
  return url + OriginForm(path);
}

void TakeCredentials(const TUrlParts& parts, const THttpTarget& target,
                     THttpCredentials& credentials) {
  if (!parts.user.empty() || !parts.password.empty()) {
    credentials.Username = PercentDecode(parts.user);
    credentials.Password = PercentDecode(parts.password);
  }
  credentials.Origin = TargetOrigin(target);
}

// An absolute Location brings credentials only when it carries both.
void TakeLocationCredentials(const TUrlParts& parts, const THttpTarget& target,
                             THttpCredentials& credentials) {
  if (!parts.user.empty() && !parts.password.empty()) TakeCredentials(parts, target, credentials);
}

void ApplyDirectLocation(const std::string& url, THttpTarget& target,
                         THttpCredentials& credentials) {
  TUrlParts parts;
  SplitURL(url, parts, target.RequestPath);
  target.RequestPath = OriginForm(target.RequestPath);
  target.Secure = IsSecure(parts);
  target.HostPort = NonDefaultPort(parts);
  if (parts.host.empty()) parts.host = target.HostHeaderValue;  // the same server again
  target.ServerName = target.HostHeaderValue = parts.host;
  target.ServerPort = OrDefault(parts.port, DefaultPort(target.Secure));
  TakeLocationCredentials(parts, target, credentials);
  target.Location = CurrentPrefix(target) + target.RequestPath;
}

// Through a proxy every request path is an absolute URL, and the connection always goes
// to the proxy.
void ApplyProxyLocation(const std::string& url, THttpTarget& target,
                        THttpCredentials& credentials) {
  TUrlParts parts;
  std::string path;
  SplitURL(url, parts, path);
  target.Secure = IsSecure(parts);
  if (parts.host.empty()) parts.host = target.HostHeaderValue;
  target.HostHeaderValue = parts.host;
  target.HostPort = NonDefaultPort(parts);
  TakeLocationCredentials(parts, target, credentials);
  target.RequestPath = AbsoluteURL(parts, path);
  target.Location = target.RequestPath;
}

}  // namespace

std::string TargetOrigin(const THttpTarget& target) {
  const std::string scheme = target.Secure ? kSecureScheme : kDefaultScheme;
  return scheme + "://" + UrlHost(LowerCase(target.HostHeaderValue)) + ":" +
         OrDefault(target.HostPort, DefaultPort(target.Secure));
}

std::string HostField(const THttpTarget& target) {
  return UrlHost(target.HostHeaderValue) + PortSuffix(target);
}

std::string TunnelAuthority(const THttpTarget& target) {
  const std::string& host = target.HostHeaderValue;
  const bool bare6 = host.find(':') != std::string::npos && host.front() != '[';
  return (bare6 ? "[" + host + "]" : host) + ":" +
         OrDefault(target.HostPort, DefaultPort(target.Secure));
}

std::string TunnelledRequestPath(const THttpTarget& target) {
  TUrlParts parts;
  std::string path;
  SplitURL(target.RequestPath, parts, path);
  return OriginForm(path);
}

std::string StartTarget(const std::string& url, const std::string& proxy,
                        const std::string& proxyPort, THttpTarget& target,
                        THttpCredentials& credentials) {
  const std::string requestable = Requestable(url);
  TUrlParts parts;
  std::string documentPath;
  if (proxy.empty()) {
    SplitURL(requestable, parts, target.RequestPath);
    documentPath = target.RequestPath;
    target.ServerName = parts.host;
    target.ServerPort = OrDefault(parts.port, DefaultPort(IsSecure(parts)));
    target.RequestPath = OriginForm(target.RequestPath);
  } else {
    SplitURL(requestable, parts, documentPath);
    target.RequestPath = AbsoluteURL(parts, documentPath);
    TUrlParts proxyParts;
    std::string proxyPath;
    SplitURL(proxy, proxyParts, proxyPath);
    target.ServerName = proxyParts.host;
    target.ServerPort = OrDefault(proxyParts.port, proxyPort);
  }
  target.HostHeaderValue = parts.host;
  target.HostPort = NonDefaultPort(parts);
  target.Secure = IsSecure(parts);
  TakeCredentials(parts, target, credentials);
  return documentPath;
}

std::string CurrentUrl(const THttpTarget& target) {
  // Through a proxy the request path is the absolute URL already.
  if (!StartsWith(target.RequestPath, "/")) return target.RequestPath;
  return CurrentPrefix(target) + target.RequestPath;
}

void ApplyLocation(const std::string& url, bool viaProxy, THttpTarget& target,
                   THttpCredentials& credentials) {
  if (viaProxy)
    ApplyProxyLocation(url, target, credentials);
  else
    ApplyDirectLocation(url, target, credentials);
}
