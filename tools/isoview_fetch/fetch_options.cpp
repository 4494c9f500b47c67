#include "tools/isoview_fetch/fetch_options.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>

#include "http/no_proxy.h"
#include "runtime/conversion.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

const char kFetchUsage[] =
    "usage: isoview-fetch [OPTION...] URL FILE\n"
    "       isoview-fetch [OPTION...] --check LIST\n"
    "Downloads URL into FILE with the program's HTTP client and prints what the request "
    "gave.\n"
    "With --check, asks the server of every URL in LIST (a schedule.txt, or a resource.txt "
    "whose first line is the column titles) for the first 64 KiB of its chart, four at a "
    "time, and prints one line per URL, fields separated by tabs:\n"
    "  ok|moved|failed CODE URL FINAL-URL REASON\n"
    "(ok: the bytes are a picture, REASON says which; moved: reached through a permanent "
    "redirect; CODE and FINAL-URL are - when there is none).\n"
    "  --timeout SECONDS        end a request without progress for SECONDS (0: never; 60)\n"
    "  --max-time SECONDS       end a request that takes longer than SECONDS in all, its "
    "redirects included (0: never; the default)\n"
    "  --max-filesize BYTES     end a request whose body is longer than BYTES, storing no "
    "more (0: no limit; the default)\n"
    "  --proxy HOST:PORT        go through this HTTP proxy\n"
    "  --proxy-user USER:PASS   the proxy's Basic credentials\n"
    "  --socks HOST:PORT        connect through this SOCKS server\n"
    "  --socks-level 4|4A|5|5h  the SOCKS version (5); 4A and 5h let the server resolve "
    "the host\n"
    "  --socks-user USER:PASS   the SOCKS 5 user name and password\n"
    "  --noproxy LIST           no proxy for these hosts (as no_proxy; replaces it)\n"
    "Without --proxy and --socks the proxies of http_proxy, https_proxy, all_proxy (and "
    "their upper-case forms) are used, except for the hosts in no_proxy.\n"
    "  --cacert FILE            trust the authorities in FILE too (as SSL_CERT_FILE does)\n"
    "  --help                   show this and exit\n"
    "Exit status: 0 when the request succeeded, 1 when it failed (an error, or a final "
    "status of 400 or more) or FILE cannot be made, 2 on a wrong command line. With "
    "--check: 0 when every source answered 2xx, 1 when any failed, 2 on a wrong command "
    "line or a LIST that cannot be read.\n";

namespace {

constexpr int64_t kMaxPort = 65535;

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "HOST:PORT", split at the last colon; a bracketed IPv6 address loses its brackets.
bool SplitHostPort(const std::string& value, std::string& host, std::string& port) {
  const size_t colon = value.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = value.substr(0, colon);
  port = value.substr(colon + 1);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  return AllDigits(port) && port.size() <= 5 && StrToInt(port) >= 1 && StrToInt(port) <= kMaxPort;
}

// "USER:PASS", split at the first colon (a password may hold colons); no colon: no
// password.
bool SplitUserPassword(const std::string& value, std::string& user, std::string& password) {
  const size_t colon = value.find(':');
  user = value.substr(0, colon);
  password = colon == std::string::npos ? "" : value.substr(colon + 1);
  return !user.empty();
}

bool ParseSeconds(const std::string& value, int& seconds) {
  if (!AllDigits(value) || value.size() > 10 || StrToInt(value) > INT32_MAX) return false;
  seconds = static_cast<int>(StrToInt(value));
  return true;
}

bool ParseByteCount(const std::string& value, int64_t& bytes) {
  constexpr size_t kMaxDigits = 18;  // within 64 bits
  if (!AllDigits(value) || value.size() > kMaxDigits) return false;
  bytes = StrToInt(value);
  return true;
}

bool ParseSocksLevel(const std::string& value, std::string& level) {
  level = UpperCase(value);
  return level == "4" || level == "4A" || level == "5" || level == "5H";
}

using TValueReader = std::function<bool(const std::string& value, TFetchOptions& options)>;

const std::map<std::string, TValueReader>& ValueOptions() {
  static const std::map<std::string, TValueReader> options = {
      {"--timeout",
       [](const std::string& v, TFetchOptions& o) { return ParseSeconds(v, o.timeout); }},
      {"--max-time",
       [](const std::string& v, TFetchOptions& o) { return ParseSeconds(v, o.maxTime); }},
      {"--max-filesize",
       [](const std::string& v, TFetchOptions& o) { return ParseByteCount(v, o.maxFileSize); }},
      {"--proxy", [](const std::string& v,
                     TFetchOptions& o) { return SplitHostPort(v, o.proxyHost, o.proxyPort); }},
      {"--proxy-user",
       [](const std::string& v, TFetchOptions& o) {
         return SplitUserPassword(v, o.proxyUser, o.proxyPassword);
       }},
      {"--socks", [](const std::string& v,
                     TFetchOptions& o) { return SplitHostPort(v, o.socksHost, o.socksPort); }},
      {"--socks-level",
       [](const std::string& v, TFetchOptions& o) { return ParseSocksLevel(v, o.socksLevel); }},
      {"--socks-user",
       [](const std::string& v, TFetchOptions& o) {
         return SplitUserPassword(v, o.socksUser, o.socksPassword);
       }},
      {"--noproxy",
       [](const std::string& v, TFetchOptions& o) {
         o.noProxyGiven = true;
         o.noProxy = v;
         return true;
       }},
      {"--check",
       [](const std::string& v, TFetchOptions& o) {
         o.checkFile = v;
         return !v.empty();
       }},
      {"--cacert",
       [](const std::string& v, TFetchOptions& o) {
         o.caFile = v;
         return !v.empty();
       }},
  };
  return options;
}

}  // namespace

bool ParseFetchOptions(const std::vector<std::string>& args, TFetchOptions& options,
                       std::string& error) {
  std::vector<std::string> operands;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      options.help = true;
      return true;
    }
    const auto option = ValueOptions().find(arg);
    if (option == ValueOptions().end()) {
      if (arg.starts_with("--")) {
        error = "unknown option " + arg;
        return false;
      }
      operands.push_back(arg);
    } else if (i + 1 == args.size() || !option->second(args[++i], options)) {
      error = "bad value for " + arg;
      return false;
    }
  }
  if (!options.checkFile.empty()) {
    if (operands.empty()) return true;
    error = "--check takes a LIST and no URL or FILE";
    return false;
  }
  if (operands.size() != 2) {
    error = "a URL and a FILE are needed";
    return false;
  }
  options.url = operands[0];
  options.file = operands[1];
  return true;
}

namespace {

void ApplyExplicitProxies(const TFetchOptions& options, THttpCli& client) {
  if (!options.proxyHost.empty()) {
    client.Proxy = options.proxyHost;
    client.ProxyPort = options.proxyPort;
  }
  client.ProxyUsername = options.proxyUser;
  client.ProxyPassword = options.proxyPassword;
  if (!options.socksHost.empty()) {
    client.SetSocksServer(options.socksHost);
    client.SetSocksPort(options.socksPort);
  }
  if (!options.socksLevel.empty()) client.SetSocksLevel(options.socksLevel);
  if (!options.socksUser.empty()) {
    client.SetSocksAuthentication(socksAuthenticateUsercode);
    client.SetSocksUsercode(options.socksUser);
    client.SetSocksPassword(options.socksPassword);
  }
}

bool ExemptByNoProxy(const TFetchOptions& options) {
  return options.noProxyGiven && NoProxyMatches(ProxiedHost(options.url), options.noProxy);
}

}  // namespace

void ApplyFetchOptions(const TFetchOptions& options, THttpCli& client,
                       TProxyEnvironment environment) {
  client.Timeout = options.timeout;
  client.MaxTime = options.maxTime;
  client.MaxBodySize = options.maxFileSize;
  const bool explicitProxy = !options.proxyHost.empty() || !options.socksHost.empty();
  if (!explicitProxy) {
    if (options.noProxyGiven) {
      environment.erase("NO_PROXY");
      environment["no_proxy"] = options.noProxy;
    }
    client.SetProxyEnvironment(std::move(environment));
  } else if (!ExemptByNoProxy(options)) {
    ApplyExplicitProxies(options, client);
  } else {
    // A client used for several URLs may still hold the proxy of the one before.
    client.Proxy.clear();
    client.SetSocksServer("");
  }
  // The client reads its extra authorities from SSL_CERT_FILE for each connection.
  if (!options.caFile.empty()) ::setenv("SSL_CERT_FILE", options.caFile.c_str(), 1);
}
