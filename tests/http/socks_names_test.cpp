// SOCKS 5h and 4A give the proxy the host's name and never ask the station's resolver;
// SOCKS 5 and 4 resolve it on the station first. The station's resolver is made to fail
// every name, as on a ship whose only name server is behind the proxy.

#include <gtest/gtest.h>

#include <atomic>

#include "http/host_lookup.h"
#include "http/http_cli.h"
#include "runtime/winsock_errors.h"
#include "tests/http/scripted_socks_server.h"
#include "tests/support/danted_server.h"
#include "tests/support/http_file_server.h"

namespace {

constexpr char kDocument[] = "/by/name.txt";
constexpr char kBody[] = "fetched by a name only the proxy knows\n";

THostLookupResult NoNameServer(const std::string&) {
  return {WSAHOST_NOT_FOUND, "", {}};
}

struct TFetch {
  int status = 0;
  std::string reason, body;
};

TFetch FetchThroughSocks(const std::string& socksPort, const std::string& level,
                         const std::string& url) {
  THttpCli client;
  TMemoryStream body;
  client.RcvdStream = &body;
  client.Timeout = 10;  // a scripted server waiting for more than is sent fails sooner
  client.SetSocksServer("127.0.0.1");
  client.SetSocksPort(socksPort);
  client.SetSocksLevel(level);
  client.URL = url;
  client.Get();
  return {client.StatusCode(), client.ReasonPhrase(),
          std::string(body.Bytes().begin(), body.Bytes().end())};
}

}  // namespace

TEST(SocksNames, Socks5hFetchesByANameOnlyDantedCanResolve) {
  TDantedServer danted(TDantedMethod::None, TDantedLog::Detailed);
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  THttpFileServer files;
  files.Serve(kDocument, kBody);
  const std::string url = "http://localhost:" + std::to_string(files.Port()) + kDocument;
  TScopedHostLookup hook(NoNameServer);

  const TFetch resolvedThere = FetchThroughSocks(danted.Port(), "5h", url);
  EXPECT_EQ(resolvedThere.status, 200) << resolvedThere.reason;
  EXPECT_EQ(resolvedThere.body, kBody);
  // The request as danted received it: a domain name (address type 3), not an address.
  const std::string request = "ATYP: 3 address: localhost." + std::to_string(files.Port());
  EXPECT_NE(danted.Log().find(request), std::string::npos) << request;

  const TFetch resolvedHere = FetchThroughSocks(danted.Port(), "5", url);
  EXPECT_EQ(resolvedHere.status, 404);
  EXPECT_EQ(resolvedHere.reason, "can't resolve hostname to IP address");
  EXPECT_EQ(files.Requests(kDocument), 1);
}

// The bytes each level sends for a URL's host name, and whether the station looked the
// name up first (its resolver knows the name here, and counts the lookups).
TEST(SocksNames, EachLevelSendsTheNameOrTheAddressItResolved) {
  std::atomic<int> lookups = 0;
  TScopedHostLookup hook([&lookups](const std::string& name) {
    ++lookups;
    return name == "charts.test" ? THostLookupResult{0, name, {"127.0.0.1"}} : NoNameServer(name);
  });
  const std::string port = Bytes({0x1f, 0x90});  // 8080
  const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nbody";
  const TSocksStep method{3, "", Bytes({5, 0})};
  const std::string granted5 = Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x1f, 0x90});
  const std::string granted4 = Bytes({0, 90, 0, 0, 0, 0, 0, 0});
  struct TCase {
    const char* level;
    std::string request;  // after a SOCKS 5 method request
    bool socks5;
    int lookups;
  };
  const TCase cases[] = {
      {"5h", Bytes({5, 1, 0, 3, 11}) + "charts.test" + port, true, 0},
      {"5H", Bytes({5, 1, 0, 3, 11}) + "charts.test" + port, true, 0},
      {"4A", Bytes({4, 1}) + port + Bytes({0, 0, 0, 1, 0}) + "charts.test" + '\0', false, 0},
      {"4a", Bytes({4, 1}) + port + Bytes({0, 0, 0, 1, 0}) + "charts.test" + '\0', false, 0},
      {"5", Bytes({5, 1, 0, 3, 9}) + "127.0.0.1" + port, true, 1},
      {"4", Bytes({4, 1}) + port + Bytes({127, 0, 0, 1, 0}), false, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.level);
    lookups = 0;
    std::vector<TSocksStep> steps;
    if (c.socks5) steps.push_back(method);
    steps.push_back({c.request.size(), "", c.socks5 ? granted5 : granted4});
    steps.push_back({0, "\r\n\r\n", reply, true});
    TScriptedSocksServer server(steps);
    const TFetch fetch = FetchThroughSocks(server.Port(), c.level, "http://charts.test:8080/x");
    EXPECT_EQ(fetch.status, 200) << fetch.reason;
    EXPECT_EQ(fetch.body, "body");
    const std::string sent = server.received.substr(c.socks5 ? 3 : 0, c.request.size());
    EXPECT_EQ(sent, c.request);
    EXPECT_EQ(lookups, c.lookups);
  }
}

// One length byte carries a SOCKS 5 name, user or password: a longer one ends the
// negotiation before it is sent, instead of going out cut.
TEST(SocksNames, Socks5RefusesTextsLongerThanItsLengthByte) {
  const std::string longName(300, 'h');
  struct TCase {
    const char* name;
    std::string host, user;
    int error;
    std::string text;
  };
  const TCase cases[] = {
      {"host name", longName, "", 20017, "host name too long for SOCKS 5"},
      {"user", "charts.test", longName, 20015, "SOCKS 5 user name or password too long"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptedSocksServer server({{3, "", Bytes({5, c.user.empty() ? 0 : 2})}});
    THttpCli client;
    client.Timeout = 10;
    client.SetSocksServer("127.0.0.1");
    client.SetSocksPort(server.Port());
    client.SetSocksLevel("5h");
    if (!c.user.empty()) {
      client.SetSocksAuthentication(socksAuthenticateUsercode);
      client.SetSocksUsercode(c.user);
    }
    std::vector<std::pair<int32_t, std::string>> errors;
    client.OnSocksError = [&](TCustomWSocket*, int32_t error, const std::string& text) {
      errors.emplace_back(error, text);
    };
    client.URL = "http://" + c.host + "/x.gif";
    client.Get();
    EXPECT_EQ(errors, (std::vector<std::pair<int32_t, std::string>>{{c.error, c.text}}));
    EXPECT_EQ(client.StatusCode(), 404);
    EXPECT_EQ(server.received.size(), 3u);  // the method request alone
  }
}
