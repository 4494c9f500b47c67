// https through Debian's squid: the client asks for a tunnel with CONNECT (with and
// without proxy credentials, set directly or through https_proxy), then speaks TLS with
// the origin through it and checks the origin's certificate; squid's refusals end the
// request with its status. What squid was asked and for whom is read from its log.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "http/http_cli.h"
#include "tests/support/http_file_server.h"
#include "tests/support/squid_server.h"
#include "tests/support/test_certificates.h"

namespace {

constexpr char kChart[] = "/charts/tunnelled.gif";
constexpr char kChartBytes[] = "GIF89a through the tunnel";

class SquidTunnel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    open = std::make_unique<TSquidServer>(TSquidAuthentication::None);
    guarded = std::make_unique<TSquidServer>(TSquidAuthentication::Basic);
    closed = std::make_unique<TSquidServer>(TSquidAuthentication::None, TSquidTunnels::Refused);
  }
  static void TearDownTestSuite() {
    open.reset();
    guarded.reset();
    closed.reset();
  }
  void SetUp() override {
    for (const TSquidServer* squid : {open.get(), guarded.get(), closed.get()})
      ASSERT_TRUE(squid->Running()) << squid->Reason();
    ::setenv("SSL_CERT_FILE", ca.CertificateFile().c_str(), 1);
    origin.Serve(kChart, kChartBytes);
    misnamed.Serve(kChart, kChartBytes);
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  static std::unique_ptr<TSquidServer> open, guarded, closed;
  TempDir dir;
  TTestCa ca{dir, "tunnel"};
  THttpFileServer origin{ca.Issue("origin", {"localhost"})};
  THttpFileServer misnamed{ca.Issue("misnamed", {"charts.example"})};
};

std::unique_ptr<TSquidServer> SquidTunnel::open, SquidTunnel::guarded, SquidTunnel::closed;

TEST_F(SquidTunnel, HttpsGoesThroughATunnelOnlyWhereTheProxyAndTheOriginAgree) {
  struct TCase {
    const char* name;
    TSquidServer* proxy;
    std::string user, password;
    bool viaEnvironment;
    THttpFileServer* server;
    int status;
    std::string reason;    // the start of it
    const char* squidSaw;  // the status squid logged
    const char* loggedUser;
  };
  const std::string user = TSquidServer::User(), password = TSquidServer::Password();
  const TCase cases[] = {
      {"open proxy", open.get(), "", "", false, &origin, 200, "OK", "200", "-"},
      {"no credentials", guarded.get(), "", "", false, &origin, 407,
       "Proxy Authentication Required", "407", "-"},
      {"right credentials", guarded.get(), user, password, false, &origin, 200, "OK", "200",
       TSquidServer::User()},
      {"credentials from https_proxy", guarded.get(), user, password, true, &origin, 200, "OK",
       "200", TSquidServer::User()},
      {"tunnels refused", closed.get(), "", "", false, &origin, 403, "Forbidden", "403", "-"},
      {"the origin's certificate names another host", open.get(), "", "", false, &misnamed, 404,
       "certificate verify failed: hostname mismatch", "200", "-"},
  };
  int reached = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    THttpCli client;
    TMemoryStream body;
    client.RcvdStream = &body;
    const std::string port = std::to_string(c.proxy->Port());
    if (c.viaEnvironment) {
      client.SetProxyEnvironment(
          {{"https_proxy", "http://" + c.user + ":" + c.password + "@127.0.0.1:" + port},
           {"http_proxy", "http://127.0.0.1:1"}});
    } else {
      client.Proxy = "127.0.0.1";
      client.ProxyPort = port;
      client.ProxyUsername = c.user;
      client.ProxyPassword = c.password;
    }
    std::vector<std::string> sent;
    client.OnBeforeHeaderSend = [&](THttpCli*, const std::string&,
                                    std::vector<std::string>& lines) { sent = lines; };
    const std::string url = c.server->Url(kChart);
    client.URL = url;
    client.Get();
    EXPECT_EQ(client.StatusCode(), c.status) << client.ReasonPhrase();
    EXPECT_EQ(client.ReasonPhrase().rfind(c.reason, 0), 0u) << client.ReasonPhrase();
    const std::string text(body.Bytes().begin(), body.Bytes().end());
    EXPECT_EQ(text == kChartBytes, c.status == 200) << text;
    if (c.status == 200) {
      ++reached;
      // Through the tunnel the origin is asked as by a direct client, and the proxy's
      // credentials stay with the proxy.
      ASSERT_FALSE(sent.empty());
      EXPECT_EQ(sent[0], std::string("GET ") + kChart + " HTTP/1.0");
      for (const std::string& line : sent) EXPECT_NE(line.rfind("Proxy-Authorization", 0), 0u);
    }
    const auto records = c.proxy->NextRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Request, "CONNECT " + url.substr(8, url.find('/', 8) - 8));
    EXPECT_EQ(records[0].Status, c.squidSaw);
    EXPECT_EQ(records[0].User, c.loggedUser);
  }
  EXPECT_EQ(origin.Requests(kChart), reached);
  EXPECT_EQ(misnamed.Requests(kChart), 0);
}

}  // namespace
