// Proxies from the environment: which variable decides for which URL, what its value
// gives, and which hosts no_proxy exempts. The expectations were checked against curl
// 7.88 where curl has the same rule (not for HTTP_PROXY, which curl ignores).

#include <gtest/gtest.h>

#include "http/no_proxy.h"
#include "http/proxy_env.h"

namespace {

struct TExpected {
  TExpected(TProxyKind kind, std::string variable = "", std::string host = "",
            std::string port = "", std::string user = "", std::string password = "",
            std::string level = "")
      : kind(kind),
        variable(std::move(variable)),
        host(std::move(host)),
        port(std::move(port)),
        user(std::move(user)),
        password(std::move(password)),
        level(std::move(level)) {}
  TProxyKind kind;
  std::string variable, host, port, user, password, level;
};

TEST(ProxyEnvironment, ChoosesTheVariableAndReadsItsValue) {
  struct TCase {
    const char* name;
    TProxyEnvironment environment;
    std::string url;
    TExpected expected;
  };
  const TProxyKind direct = TProxyKind::kDirect, http = TProxyKind::kHttp,
                   socks = TProxyKind::kSocks, unusable = TProxyKind::kUnusable;
  const TCase cases[] = {
      {"nothing set", {}, "http://a.example/x.gif", {direct}},
      {"http_proxy",
       {{"http_proxy", "http://gate:3128"}},
       "http://a.example/",
       {http, "http_proxy", "gate", "3128"}},
      {"upper case HTTP_PROXY is read",
       {{"HTTP_PROXY", "gate:3128"}},
       "http://a.example/",
       {http, "HTTP_PROXY", "gate", "3128"}},
      {"lower case wins",
       {{"http_proxy", "low:1"}, {"HTTP_PROXY", "up:2"}},
       "http://a.example/",
       {http, "http_proxy", "low", "1"}},
      {"https_proxy for https only", {{"https_proxy", "gate:3128"}}, "http://a.example/", {direct}},
      {"http_proxy not for https", {{"http_proxy", "gate:3128"}}, "https://a.example/", {direct}},
      {"HTTPS_PROXY",
       {{"HTTPS_PROXY", "up:7"}, {"all_proxy", "all:8"}},
       "https://a.example/",
       {http, "HTTPS_PROXY", "up", "7"}},
      {"https_proxy over HTTPS_PROXY",
       {{"HTTPS_PROXY", "up:7"}, {"https_proxy", "low:8"}},
       "HTTPS://a.example/",
       {http, "https_proxy", "low", "8"}},
      {"all_proxy when the scheme has none",
       {{"all_proxy", "all:8"}},
       "https://a.example/",
       {http, "all_proxy", "all", "8"}},
      {"all_proxy over ALL_PROXY",
       {{"ALL_PROXY", "up:7"}, {"all_proxy", "low:8"}},
       "http://a.example/",
       {http, "all_proxy", "low", "8"}},
      {"an empty variable is unset",
       {{"http_proxy", ""}, {"ALL_PROXY", "up:7"}},
       "http://a.example/",
       {http, "ALL_PROXY", "up", "7"}},
      {"default port 1080",
       {{"http_proxy", "HTTP://gate"}},
       "http://a.example/",
       {http, "http_proxy", "gate", "1080"}},
      {"path after the proxy",
       {{"http_proxy", "http://gate:3128/"}},
       "http://a.example/",
       {http, "http_proxy", "gate", "3128"}},
      {"credentials percent-decoded",
       {{"http_proxy", "http://me%40ship:p%3Ass:w@gate:3128"}},
       "http://a.example/",
       {http, "http_proxy", "gate", "3128", "me@ship", "p:ss:w"}},
      {"socks4",
       {{"all_proxy", "socks4://s:1"}},
       "http://a.example/",
       {socks, "all_proxy", "s", "1", "", "", "4"}},
      {"socks4a",
       {{"all_proxy", "socks4a://s:1"}},
       "http://a.example/",
       {socks, "all_proxy", "s", "1", "", "", "4A"}},
      {"socks5 with user",
       {{"https_proxy", "socks5://u:p@s"}},
       "https://a.example/",
       {socks, "https_proxy", "s", "1080", "u", "p", "5"}},
      {"socks5h",
       {{"https_proxy", "SOCKS5H://s:9"}},
       "https://a.example/",
       {socks, "https_proxy", "s", "9", "", "", "5H"}},
      {"unknown scheme",
       {{"http_proxy", "ftp://gate:21"}},
       "http://a.example/",
       {unusable, "http_proxy"}},
      {"https proxies are not spoken",
       {{"https_proxy", "https://gate"}},
       "https://a.example/",
       {unusable, "https_proxy"}},
      {"no host", {{"http_proxy", "http://:3128"}}, "http://a.example/", {unusable, "http_proxy"}},
      {"bad port", {{"http_proxy", "gate:31x8"}}, "http://a.example/", {unusable, "http_proxy"}},
      {"no_proxy exempts",
       {{"http_proxy", "gate:1"}, {"no_proxy", "a.example"}},
       "http://a.example:81/",
       {direct, "no_proxy"}},
      {"NO_PROXY when no_proxy is unset",
       {{"http_proxy", "gate:1"}, {"NO_PROXY", "example"}},
       "http://a.example/",
       {direct, "NO_PROXY"}},
      {"no_proxy over NO_PROXY",
       {{"http_proxy", "gate:1"}, {"no_proxy", "other"}, {"NO_PROXY", "a.example"}},
       "http://a.example/",
       {http, "http_proxy", "gate", "1"}},
      {"an empty no_proxy is unset",
       {{"http_proxy", "gate:1"}, {"no_proxy", ""}, {"NO_PROXY", "*"}},
       "http://a.example/",
       {direct, "NO_PROXY"}},
      {"no_proxy exempts from socks too",
       {{"all_proxy", "socks5h://s"}, {"no_proxy", "*"}},
       "https://a.example/",
       {direct, "no_proxy"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TProxyChoice choice = ChooseProxy(c.url, c.environment);
    const TExpected& e = c.expected;
    EXPECT_EQ(choice.Kind, e.kind) << choice.Problem;
    EXPECT_EQ(choice.Variable, e.variable);
    EXPECT_EQ(choice.Host, e.host);
    EXPECT_EQ(choice.Port, e.port);
    EXPECT_EQ(choice.Username, e.user);
    EXPECT_EQ(choice.Password, e.password);
    EXPECT_EQ(choice.SocksLevel, e.level);
    EXPECT_EQ(choice.Problem.empty(), e.kind != unusable);
  }
}

TEST(ProxyEnvironment, NoProxyMatchesAsCurlDoes) {
  struct TCase {
    const char* host;
    const char* list;
    bool exempt;
  };
  const TCase cases[] = {
      {"charts.example.com", "example.com", true},   // a domain suffix
      {"charts.example.com", ".example.com", true},  // with a leading dot
      {"example.com", ".example.com", true},         // the domain itself
      {"badexample.com", "example.com", false},      // a suffix only at a dot
      {"ab.example.com", "b.example.com", false},
      {"Charts.Example.COM.", "example.com", true},  // case and a trailing dot
      {"charts.example.com", "EXAMPLE.com.", true},
      {"example.com", "charts.example.com", false},   // an entry below the host
      {"a.example.com", "other, example.com", true},  // comma and blanks
      {"a.example.com", "other\texample.com", true},
      {"a.example.com", ",,", false},
      {"a.example.com", "*", true},
      {"a.example.com", " * ", true},
      {"a.example.com", "other,*", false},           // "*" only as the whole list
      {"a.example.com", "*.example.com", false},     // no patterns
      {"a.example.com", "a.example.com:80", false},  // an entry with a port matches nothing
      {"127.0.0.1", "127.0.0.1", true},
      {"127.0.0.1", "127.0.0.1:80", false},
      {"127.0.0.1", ".0.0.1", false},  // addresses are no domains
      {"10.1.2.3", "10.1.0.0/16", true},
      {"10.2.2.3", "10.1.0.0/16", false},
      {"10.1.2.3", "10.1.2.0", false},
      {"10.1.2.3", "10.1.2.3/33", false},
      {"10.1.2.3", "10.1.2.3/x", false},
      {"10.1.2.3", "::1", false},
      {"[::1]", "::1", true},  // IPv6 without brackets in the list
      {"[::1]", "[::1]", false},
      {"[2001:db8::5]", "2001:db8::/32", true},
      {"[2001:db9::5]", "2001:db8::/32", false},
      {"localhost", "127.0.0.1", false},  // names are not resolved
      {"", "*", true},
      {"", "example.com", false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(NoProxyMatches(c.host, c.list), c.exempt) << c.host << " in \"" << c.list << "\"";
}

TEST(ProxyEnvironment, TheReportNamesEachSchemesProxyWithoutPasswords) {
  EXPECT_EQ(ProxyReport({}),
            (std::vector<std::string>{"Proxy for http: none", "Proxy for https: none"}));
  const TProxyEnvironment environment = {{"HTTP_PROXY", "me:secret@gate:3128"},
                                         {"all_proxy", "socks5h://u:pw@s"},
                                         {"NO_PROXY", ".local,10.0.0.0/8"}};
  EXPECT_EQ(ProxyReport(environment),
            (std::vector<std::string>{
                "Proxy for http: http://me@gate:3128 (HTTP_PROXY), not for hosts in "
                "NO_PROXY=.local,10.0.0.0/8",
                "Proxy for https: socks5h://u@s (all_proxy), not for hosts in "
                "NO_PROXY=.local,10.0.0.0/8"}));
  EXPECT_EQ(ProxyReport({{"https_proxy", "https://u:pw@gate"}})[1],
            "Proxy for https: unusable, requests fail: Unsupported proxy scheme \"https\" in "
            "https_proxy");
}

}  // namespace
