// The client through Debian's squid as its HTTP proxy, with and without proxy
// authentication; what squid took and whom it let through is read from its log.

#include <gtest/gtest.h>

#include <memory>

#include "http/http_cli.h"
#include "tests/support/http_file_server.h"
#include "tests/support/squid_server.h"

namespace {

constexpr char kChart[] = "/charts/chart.gif";
constexpr char kChartBytes[] = "GIF89a through the proxy";

class SquidProxy : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    open = std::make_unique<TSquidServer>(TSquidAuthentication::None);
    guarded = std::make_unique<TSquidServer>(TSquidAuthentication::Basic);
  }
  static void TearDownTestSuite() {
    open.reset();
    guarded.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(open->Running()) << open->Reason();
    ASSERT_TRUE(guarded->Running()) << guarded->Reason();
    origin.Serve(kChart, kChartBytes);
  }

  static std::unique_ptr<TSquidServer> open, guarded;
  THttpFileServer origin;
};

std::unique_ptr<TSquidServer> SquidProxy::open, SquidProxy::guarded;

TEST_F(SquidProxy, FetchesThroughTheProxyOnlyWithTheRightProxyCredentials) {
  struct TCase {
    const char* name;
    TSquidServer* proxy;
    std::string user, password;
    int status;
    const char* loggedUser;  // the name squid was given, whether it took it or not
  };
  const TCase cases[] = {
      {"open proxy", open.get(), "", "", 200, "-"},
      {"no credentials", guarded.get(), "", "", 407, "-"},
      {"wrong password", guarded.get(), TSquidServer::User(), "wrong", 407, TSquidServer::User()},
      {"right credentials", guarded.get(), TSquidServer::User(), TSquidServer::Password(), 200,
       TSquidServer::User()},
  };
  int reachedOrigin = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    THttpCli client;
    TMemoryStream body;
    client.RcvdStream = &body;
    client.Proxy = "127.0.0.1";
    client.ProxyPort = std::to_string(c.proxy->Port());
    client.ProxyUsername = c.user;
    client.ProxyPassword = c.password;
    client.URL = origin.Url(kChart);
    client.Get();
    EXPECT_EQ(client.StatusCode(), c.status) << client.ReasonPhrase();
    const std::string text(body.Bytes().begin(), body.Bytes().end());
    EXPECT_EQ(text == kChartBytes, c.status == 200);
    if (c.status == 200) ++reachedOrigin;
    const auto records = c.proxy->NextRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Request, "GET " + origin.Url(kChart));
    EXPECT_EQ(records[0].Status, std::to_string(c.status));
    EXPECT_EQ(records[0].User, c.loggedUser);
  }
  EXPECT_EQ(origin.Requests(kChart), reachedOrigin);
}

}  // namespace
