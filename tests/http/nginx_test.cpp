// The client against Debian's nginx on loopback: files of every kind byte for byte over
// http and https, a slow body, every redirect code, Basic authorization, and where a
// user's password goes; what nginx received is read from its access log.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "http/http_cli.h"
#include "http/url_helpers.h"
#include "tests/http/nginx_server.h"
#include "tests/support/danted_server.h"
#include "tests/support/random_bytes.h"

namespace {

const std::string kTarget = RandomBytes(70 * 1024 + 3, 7);

std::string Text(const TMemoryStream& stream) {
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

class Nginx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new TNginxServer;
    server->Put("/files/target.bin", kTarget);
    server->Put("/private/target.bin", kTarget);
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(server->Running()) << server->Reason();
    setenv("SSL_CERT_FILE", server->AuthorityFile().c_str(), 1);
    client.RcvdStream = &body;
    client.OnRequestDone = [this](THttpCli*, THttpRequest, uint16_t error) { error_ = error; };
  }
  void TearDown() override { unsetenv("SSL_CERT_FILE"); }

  void Get(const std::string& url) {
    body.Clear();
    error_ = 0xFFFF;
    client.URL = url;
    client.Get();
  }

  static std::string Plain(const std::string& path, const std::string& userInfo = "") {
    return "http://" + userInfo + "127.0.0.1:" + std::to_string(server->PlainPort()) + path;
  }
  static std::string Secure(const std::string& path, const std::string& userInfo = "") {
    return "https://" + userInfo + "localhost:" + std::to_string(server->SecurePort()) + path;
  }
  static std::string UserInfo() {
    return std::string(TNginxServer::User()) + ":" + TNginxServer::Password() + "@";
  }
  static std::string Authorization() {
    return "Basic " +
           Base64Encode(std::string(TNginxServer::User()) + ":" + TNginxServer::Password());
  }

  static TNginxServer* server;
  THttpCli client;
  TMemoryStream body;
  uint16_t error_ = 0;
};

TNginxServer* Nginx::server = nullptr;

TEST_F(Nginx, GoodFilesArriveByteForByteOverHttpAndHttps) {
  struct TFile {
    const char* path;
    std::string bytes;
  };
  const TFile files[] = {
      {"/files/empty.gif", ""},
      {"/files/one.bin", "G"},
      {"/files/lines.txt", "first\r\nsecond\nthird\r\n\r\n"},
      // One byte over a read, so that no single piece can hold it.
      {"/files/read-size.bin", RandomBytes(THttpCli::kBodyReadSize + 1, 1)},
      {"/files/large.bin", RandomBytes(3 * 1024 * 1024 + 5, 2)},
      {"/slow/chart.gif", RandomBytes(56 * 1024, 3)},
  };
  for (const TFile& file : files) server->Put(file.path, file.bytes);
  for (const auto& url : {Plain(""), Secure("")}) {
    for (const TFile& file : files) {
      SCOPED_TRACE(url + file.path);
      Get(url + file.path);
      EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
      EXPECT_EQ(error_, 0);
      EXPECT_EQ(client.ContentLength(), static_cast<int64_t>(file.bytes.size()));
      EXPECT_EQ(client.RcvdBytes(), static_cast<int64_t>(file.bytes.size()));
      EXPECT_TRUE(Text(body) == file.bytes);
      const auto records = server->NextRecords(1);
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].Request, "GET " + std::string(file.path) + " HTTP/1.0");
      EXPECT_EQ(records[0].Status, "200");
      EXPECT_EQ(records[0].Authorization, "-");
    }
  }
}

TEST_F(Nginx, EveryRedirectCodeAbsoluteAndRelativeEndsAtTheFile) {
  for (const auto& origin : {Plain(""), Secure("")}) {
    for (const char* code : {"301", "302", "303", "307", "308"}) {
      for (const char* kind : {"absolute", "relative"}) {
        const std::string url = origin + "/redirect/" + code + "/" + kind + "/files/target.bin";
        SCOPED_TRACE(url);
        Get(url);
        EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
        EXPECT_EQ(error_, 0);
        EXPECT_TRUE(Text(body) == kTarget);
        EXPECT_EQ(client.Location(), origin + "/files/target.bin");
        const auto records = server->NextRecords(2);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].Status, code);
        EXPECT_EQ(records[1].Request, "GET /files/target.bin HTTP/1.0");
        EXPECT_EQ(records[1].Status, "200");
      }
    }
  }
}

TEST_F(Nginx, BasicAuthorizationFromTheUrlOrTheProperties) {
  struct TCase {
    const char* name;
    std::string userInfo, username, password;
    int status;
    std::string authorization;  // as nginx received it
  };
  const std::string wrong = "Basic " + Base64Encode(std::string(TNginxServer::User()) + ":x");
  const TCase cases[] = {
      {"from the url", UserInfo(), "", "", 200, Authorization()},
      {"from the properties", "", TNginxServer::User(), TNginxServer::Password(), 200,
       Authorization()},
      {"none", "", "", "", 401, "-"},
      {"a wrong password", std::string(TNginxServer::User()) + ":x@", "", "", 401, wrong},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    THttpCli fresh;
    fresh.RcvdStream = &body;
    fresh.Username = c.username;
    fresh.Password = c.password;
    body.Clear();
    fresh.URL = Plain("/private/target.bin", c.userInfo);
    fresh.Get();
    EXPECT_EQ(fresh.StatusCode(), c.status);
    EXPECT_EQ(Text(body) == kTarget, c.status == 200);
    const auto records = server->NextRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Authorization, c.authorization);
  }
}

// A user's password goes only to the scheme, host and port that it came with.
TEST_F(Nginx, CredentialsStayWithTheirOrigin) {
  const std::string plainServer = "127.0.0.1:" + std::to_string(server->PlainPort());
  struct TCase {
    const char* name;
    std::string url;
    std::string secondServer;  // the address and port that took the second leg
    bool secondAuthorized;     // the second leg carried the credentials
    int status;
  };
  const TCase cases[] = {
      {"same origin, relative Location",
       Plain("/redirect/302/relative/private/target.bin", UserInfo()), plainServer, true, 200},
      {"same origin, absolute Location",
       Plain("/redirect/301/absolute/private/target.bin", UserInfo()), plainServer, true, 200},
      {"another port", Plain("/to-other-port/private/target.bin", UserInfo()),
       "127.0.0.1:" + std::to_string(server->OtherPort()), false, 401},
      {"another host", Plain("/to-other-host/private/target.bin", UserInfo()),
       "127.0.0.2:" + std::to_string(server->PlainPort()), false, 401},
      {"https to http on the same host", Secure("/to-plain-http/private/target.bin", UserInfo()),
       plainServer, false, 401},
      // Percent-escapes in the user part are decoded before they are sent ("%65" is 'e').
      {"escaped password",
       Plain("/redirect/302/relative/private/target.bin",
             std::string(TNginxServer::User()) + ":s3cr%65t@"),
       plainServer, true, 200},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    Get(c.url);
    EXPECT_EQ(client.StatusCode(), c.status) << client.ReasonPhrase();
    EXPECT_EQ(client.Location().find(TNginxServer::Password()), std::string::npos)
        << client.Location();
    const auto records = server->NextRecords(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Authorization, Authorization());
    EXPECT_EQ(records[1].Server, c.secondServer);
    EXPECT_EQ(records[1].Authorization, c.secondAuthorized ? Authorization() : "-");
  }
}

// Credentials of one Get's URL are not the client's: a later Get without them sends none,
// while the properties' credentials hold for the origin of each Get's URL only.
TEST_F(Nginx, ALaterGetAndTheirPropertiesKeepCredentialsWithTheirOrigin) {
  Get(Plain("/private/target.bin", UserInfo()));
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.Username, "");
  EXPECT_EQ(client.Location(),
            Plain("/private/target.bin", TNginxServer::User() + std::string("@")));
  Get(Plain("/private/target.bin"));
  EXPECT_EQ(client.StatusCode(), 401);

  client.Username = TNginxServer::User();
  client.Password = TNginxServer::Password();
  Get(Plain("/to-other-port/private/target.bin"));
  EXPECT_EQ(client.StatusCode(), 401);
  const auto records = server->NextRecords(4);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].Authorization, Authorization());
  EXPECT_EQ(records[1].Authorization, "-");
  EXPECT_EQ(records[2].Authorization, Authorization());
  EXPECT_EQ(records[3].Authorization, "-");
}

// The socket forgets its SOCKS settings at every close; the client's hold for each leg of
// a request and for later requests.
TEST_F(Nginx, SocksSettingsHoldForRedirectLegsAndLaterGets) {
  TDantedServer danted(TDantedMethod::None);
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  client.SetSocksServer("127.0.0.1");
  client.SetSocksPort(danted.Port());
  Get(Plain("/redirect/302/relative/files/target.bin"));
  EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
  Get(Plain("/files/target.bin"));
  EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
  EXPECT_EQ(server->NextRecords(3).size(), 3u);
  EXPECT_EQ(danted.Relayed(server->PlainPort()), 3) << danted.Log();
}

// A Host header without the port would make name-based servers answer for another site
// and build their redirects to port 80.
TEST_F(Nginx, HostHeaderNamesTheNonDefaultPortAndAnIPv6AddressInBrackets) {
  const std::string plainPort = std::to_string(server->PlainPort());
  const std::string securePort = std::to_string(server->SecurePort());
  const std::pair<std::string, std::string> origins[] = {
      {Plain("/files/target.bin"), "127.0.0.1:" + plainPort},
      {Secure("/files/target.bin"), "localhost:" + securePort},
      {"http://[::1]:" + plainPort + "/files/target.bin", "[::1]:" + plainPort},
      // The certificate names the address ::1, which is checked as an address.
      {"https://[::1]:" + securePort + "/files/target.bin", "[::1]:" + securePort},
  };
  for (const auto& [url, host] : origins) {
    Get(url);
    EXPECT_EQ(client.StatusCode(), 200) << url << " " << client.ReasonPhrase();
    EXPECT_EQ(Text(body), kTarget) << url;
    const auto records = server->NextRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Host, host);
  }
}

}  // namespace
