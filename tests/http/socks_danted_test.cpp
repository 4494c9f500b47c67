// The client through Debian's SOCKS server danted on loopback: SOCKS 4 and 5 without
// authentication, and SOCKS 5 with a system user's name and password. danted 1.4.2 has no
// SOCKS 4A (it connects to the address 0.0.0.1 as given); 4A is tested against a scripted
// server.

#include <gtest/gtest.h>

#include "http/http_cli.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/danted_server.h"
#include "tests/support/http_file_server.h"

namespace {

constexpr char kDocument[] = "/through/socks.txt";

struct TFetch {
  int status = 0;
  std::string body;
  std::vector<uint16_t> socksConnected;
  std::vector<std::pair<int32_t, std::string>> socksErrors;
  std::vector<uint16_t> done;
};

class DantedSocks : public ::testing::Test {
 protected:
  DantedSocks() { files.Serve(kDocument, "a document fetched through danted\n"); }

  TFetch Fetch(const TDantedServer& danted, const std::string& level, const std::string& user = "",
               const std::string& password = "") {
    THttpCli client;
    TMemoryStream body;
    TFetch fetch;
    client.RcvdStream = &body;
    client.SetSocksServer("127.0.0.1");
    client.SetSocksPort(danted.Port());
    client.SetSocksLevel(level);
    if (!user.empty()) {
      client.SetSocksAuthentication(socksAuthenticateUsercode);
      client.SetSocksUsercode(user);
      client.SetSocksPassword(password);
    }
    client.OnSocksConnected = [&](TCustomWSocket*, uint16_t error) {
      fetch.socksConnected.push_back(error);
    };
    client.OnSocksError = [&](TCustomWSocket*, int32_t error, const std::string& text) {
      fetch.socksErrors.emplace_back(error, text);
    };
    client.OnRequestDone = [&](THttpCli*, THttpRequest, uint16_t error) {
      fetch.done.push_back(error);
    };
    client.URL = files.Url(kDocument);
    client.Get();
    fetch.status = client.StatusCode();
    fetch.body.assign(body.Bytes().begin(), body.Bytes().end());
    return fetch;
  }

  THttpFileServer files;
};

}  // namespace

TEST_F(DantedSocks, FetchesThroughSocks4And5) {
  TDantedServer danted(TDantedMethod::None);
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  for (const char* level : {"4", "5"}) {
    SCOPED_TRACE(level);
    const TFetch fetch = Fetch(danted, level);
    EXPECT_EQ(fetch.status, 200);
    EXPECT_EQ(fetch.body, "a document fetched through danted\n");
    EXPECT_EQ(fetch.socksConnected, std::vector<uint16_t>{0});
    EXPECT_TRUE(fetch.socksErrors.empty());
  }
  EXPECT_EQ(files.Requests(kDocument), 2);
  EXPECT_EQ(danted.Relayed(files.Port()), 2) << danted.Log();
}

TEST_F(DantedSocks, Socks5WithUserAndPassword) {
  TDantedServer danted(TDantedMethod::Username);
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  TSystemUser user;
  if (!user.Made()) GTEST_SKIP() << user.Reason();

  const TFetch fetch = Fetch(danted, "5", user.Name(), user.Password());
  EXPECT_EQ(fetch.status, 200);
  EXPECT_EQ(fetch.body, "a document fetched through danted\n");
  EXPECT_EQ(danted.Relayed(files.Port()), 1) << danted.Log();

  using TErrors = std::vector<std::pair<int32_t, std::string>>;
  const TFetch refused = Fetch(danted, "5", user.Name(), user.Password() + "x");
  EXPECT_EQ(refused.socksErrors, (TErrors{{20015, "socks authentication failed"}}));
  EXPECT_EQ(refused.done, std::vector<uint16_t>{20015});
  EXPECT_EQ(refused.status, 404);
  // Without credentials the server finds no method it accepts.
  const TFetch unoffered = Fetch(danted, "5");
  EXPECT_EQ(unoffered.socksErrors, (TErrors{{20003, "authentification method not acceptable"}}));
  EXPECT_EQ(files.Requests(kDocument), 1);
}

// danted whose outside is IPv6 grants a request with its IPv6 bound address (type 4).
TEST(DantedSocksIPv6, AGrantWithAnIPv6BoundAddressIsTaken) {
  TDantedServer danted(TDantedMethod::None, TDantedLog::Connections, "::1");
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  TScriptedHttpServer server({{HttpReply("200 OK", {"Content-Length: 7"}, "relayed")}}, "::1");
  THttpCli client;
  TMemoryStream body;
  std::vector<uint16_t> done;
  client.RcvdStream = &body;
  client.OnRequestDone = [&](THttpCli*, THttpRequest, uint16_t error) { done.push_back(error); };
  client.SetSocksServer("127.0.0.1");
  client.SetSocksPort(danted.Port());
  client.SetSocksLevel("5");
  client.URL = server.URL("/chart.gif");
  client.Get();
  EXPECT_EQ(done, std::vector<uint16_t>{0}) << client.ReasonPhrase() << "\n" << danted.Log();
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(std::string(body.Bytes().begin(), body.Bytes().end()), "relayed");
  ASSERT_EQ(server.requests.size(), 1u);
  EXPECT_EQ(server.requests[0].substr(0, 26), "GET /chart.gif HTTP/1.0\r\nA");
}
