#pragma once
// The proxy a URL goes through, chosen from environment variables as curl chooses it:
// for an http URL http_proxy, else HTTP_PROXY (which curl ignores, a CGI concern that a
// desktop program does not have); for https https_proxy, else HTTPS_PROXY; for either,
// when that gave nothing, all_proxy, else ALL_PROXY. An empty variable counts as unset.
// A host matched by no_proxy (else NO_PROXY; see no_proxy.h) goes direct.
// Proxy URLs are [scheme://][user[:password]@]host[:port] with the schemes http (the
// default), socks4, socks4a, socks5 and socks5h; the port defaults to 1080, user and
// password are percent-decoded. Pure functions of the variables given, so tests and the
// program share them.

#include <map>
#include <string>
#include <vector>

// Variable name to value; only the proxy variables matter.
using TProxyEnvironment = std::map<std::string, std::string>;

// The proxy variables of this process that are set.
TProxyEnvironment ProcessProxyEnvironment();

enum class TProxyKind { kDirect, kHttp, kSocks, kUnusable };

struct TProxyChoice {
  TProxyKind Kind = TProxyKind::kDirect;
  std::string Variable;  // the variable that decided, empty when none did
  std::string Host, Port, Username, Password;
  std::string SocksLevel;  // "4", "4A", "5" or "5H" for a SOCKS proxy
  std::string Shown;       // the proxy URL without its password, for logs
  std::string Problem;     // kUnusable: why
};

TProxyChoice ChooseProxy(const std::string& url, const TProxyEnvironment& environment);

// The host of url as no_proxy lists are matched against it.
std::string ProxiedHost(const std::string& url);

// One line per scheme, as the program logs them at its start, e.g.
// "Proxy for https: http://me@gate:3128 (https_proxy), not for hosts in no_proxy=.local".
std::vector<std::string> ProxyReport(const TProxyEnvironment& environment);
