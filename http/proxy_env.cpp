#include "http/proxy_env.h"

#include <cstdlib>

#include "http/no_proxy.h"
#include "http/url_helpers.h"
#include "runtime/strings.h"

namespace {

constexpr char kDefaultProxyPort[] = "1080";
constexpr char kDefaultProxyScheme[] = "http";
constexpr const char* kVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                      "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};
constexpr const char* kSchemes[] = {"http", "https"};

struct TSchemeKind {
  const char* scheme;
  TProxyKind kind;
  const char* socksLevel;
};
constexpr TSchemeKind kProxySchemes[] = {
    {"http", TProxyKind::kHttp, ""},       {"socks4", TProxyKind::kSocks, "4"},
    {"socks4a", TProxyKind::kSocks, "4A"}, {"socks5", TProxyKind::kSocks, "5"},
    {"socks5h", TProxyKind::kSocks, "5H"},
};

// The first of the names that is set and not empty, or nullptr.
const char* FirstSet(const TProxyEnvironment& environment, std::initializer_list<std::string> names,
                     std::string& value) {
  for (const std::string& name : names) {
    const auto found = environment.find(name);
    if (found != environment.end() && !found->second.empty()) {
      value = found->second;
      return found->first.c_str();
    }
  }
  return nullptr;
}

// Schemes are case-insensitive; SplitURL knows them in lower case.
std::string WithLowerScheme(const std::string& url) {
  const size_t separator = url.find("://");
  if (separator == std::string::npos) return url;
  return LowerCase(url.substr(0, separator)) + url.substr(separator);
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

void ReadProxyUrl(const std::string& value, TProxyChoice& choice) {
  const size_t separator = value.find("://");
  const std::string scheme =
      separator == std::string::npos ? kDefaultProxyScheme : LowerCase(value.substr(0, separator));
  const std::string rest = separator == std::string::npos ? value : value.substr(separator + 3);
  choice.Shown = UrlWithoutPassword(scheme + "://" + rest);
  choice.Kind = TProxyKind::kUnusable;
  const TSchemeKind* known = nullptr;
  for (const TSchemeKind& candidate : kProxySchemes)
    if (scheme == candidate.scheme) known = &candidate;
  if (known == nullptr) {
    choice.Problem = "Unsupported proxy scheme \"" + scheme + "\" in " + choice.Variable;
    return;
  }
  TUrlParts parts;
  std::string path;
  SplitURL(std::string(kDefaultProxyScheme) + "://" + rest, parts, path);
  if (parts.host.empty() || (!parts.port.empty() && !AllDigits(parts.port))) {
    choice.Problem = "Bad proxy address in " + choice.Variable;
    return;
  }
  choice.Kind = known->kind;
  choice.SocksLevel = known->socksLevel;
  choice.Host = parts.host;
  choice.Port = parts.port.empty() ? kDefaultProxyPort : parts.port;
  choice.Username = PercentDecode(parts.user);
  choice.Password = PercentDecode(parts.password);
}

// The proxy of scheme's URLs, no_proxy left aside.
TProxyChoice SchemeProxy(const std::string& scheme, const TProxyEnvironment& environment) {
  TProxyChoice choice;
  std::string value;
  const char* variable =
      FirstSet(environment,
               {scheme + "_proxy", UpperCase(scheme) + "_PROXY", "all_proxy", "ALL_PROXY"}, value);
  if (variable == nullptr) return choice;
  choice.Variable = variable;
  ReadProxyUrl(value, choice);
  return choice;
}

const char* NoProxyList(const TProxyEnvironment& environment, std::string& list) {
  return FirstSet(environment, {"no_proxy", "NO_PROXY"}, list);
}

std::string Described(const TProxyChoice& choice) {
  switch (choice.Kind) {
    case TProxyKind::kDirect:
      return "none";
    case TProxyKind::kUnusable:
      return "unusable, requests fail: " + choice.Problem;
    default:
      return choice.Shown + " (" + choice.Variable + ")";
  }
}

}  // namespace

TProxyEnvironment ProcessProxyEnvironment() {
  TProxyEnvironment environment;
  for (const char* name : kVariables)
    if (const char* value = std::getenv(name)) environment[name] = value;
  return environment;
}

std::string ProxiedHost(const std::string& url) {
  TUrlParts parts;
  std::string path;
  SplitURL(WithLowerScheme(url), parts, path);
  return parts.host;
}

TProxyChoice ChooseProxy(const std::string& url, const TProxyEnvironment& environment) {
  TUrlParts parts;
  std::string path;
  SplitURL(WithLowerScheme(url), parts, path);
  std::string list;
  if (const char* variable = NoProxyList(environment, list);
      variable != nullptr && NoProxyMatches(parts.host, list)) {
    TProxyChoice direct;
    direct.Variable = variable;
    return direct;
  }
  const std::string scheme = LowerCase(parts.scheme.empty() ? "http" : parts.scheme);
  return SchemeProxy(scheme, environment);
}

std::vector<std::string> ProxyReport(const TProxyEnvironment& environment) {
  std::string list;
  const char* noProxy = NoProxyList(environment, list);
  std::vector<std::string> lines;
  for (const char* scheme : kSchemes) {
    const TProxyChoice choice = SchemeProxy(scheme, environment);
    std::string line = std::string("Proxy for ") + scheme + ": " + Described(choice);
    if (choice.Kind != TProxyKind::kDirect && noProxy != nullptr)
      line += ", not for hosts in " + std::string(noProxy) + "=" + list;
    lines.push_back(line);
  }
  return lines;
}
