// https:// through THttpCli and the TLS layer, against a TLS server of OpenSSL on loopback
// with certificates of a test authority made for each test.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <random>

#include "http/http_cli.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/http_file_server.h"
#include "tests/support/server_process.h"
#include "tests/support/test_certificates.h"

namespace {

constexpr char kImagePath[] = "/charts/img.gif";

std::string Text(const TMemoryStream& stream) {
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

// Bytes of every value, long enough to span many TLS records.
std::string Image(size_t size) {
  std::mt19937 random(11);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

class Https : public ::testing::Test {
 protected:
  Https() {
    setenv("SSL_CERT_FILE", ca.CertificateFile().c_str(), 1);
    client.RcvdStream = &body;
    client.OnRequestDone = [this](THttpCli*, THttpRequest, uint16_t error) {
      done.push_back(error);
    };
  }
  ~Https() override {
    unsetenv("SSL_CERT_FILE");
    MessageLoop::Current().ProcessMessages();
  }

  void Get(const std::string& url) {
    body.Clear();
    done.clear();
    client.URL = url;
    client.Get();
  }

  TempDir dir;
  TTestCa ca{dir, "trusted"};
  THttpCli client;
  TMemoryStream body;
  std::vector<uint16_t> done;
};

TEST_F(Https, ImageIsStoredIntactByNameAndByAddressAndPlainHttpStaysPlain) {
  THttpFileServer server(ca.Issue("server", {"localhost", "127.0.0.1"}));
  const std::string image = Image(300 * 1024 + 17);
  server.Serve(kImagePath, image);
  const std::string port = std::to_string(server.Port());
  for (const std::string host : {"localhost", "127.0.0.1"}) {
    Get("https://" + host + ":" + port + kImagePath);
    EXPECT_EQ(client.StatusCode(), 200) << host << ": " << client.ReasonPhrase();
    EXPECT_EQ(client.RcvdBytes(), static_cast<int64_t>(image.size()));
    EXPECT_TRUE(Text(body) == image) << host;
    EXPECT_EQ(done, std::vector<uint16_t>{0});
    EXPECT_FALSE(client.CtrlSocket().SslEnable());  // every close makes the socket plain
  }
  EXPECT_EQ(server.Requests(kImagePath), 2);

  THttpFileServer plain;
  plain.Serve(kImagePath, "GIF89a plain");
  Get(plain.Url(kImagePath));
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(Text(body), "GIF89a plain");
}

TEST_F(Https, HttpRedirectToHttpsIsFollowedToTheSecureDocument) {
  THttpFileServer secure(ca.Issue("server", {"localhost"}));
  secure.Serve(kImagePath, "GIF89a secure");
  const std::string target = secure.Url(kImagePath);
  TScriptedHttpServer plain(
      {{HttpReply("301 Moved Permanently", {"Location: " + target}, "moved")}});
  std::vector<std::string> locations;
  client.OnLocationChange = [&](THttpCli* sender) { locations.push_back(sender->Location()); };
  Get(plain.URL("/img.gif"));
  EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
  EXPECT_EQ(Text(body), "GIF89a secure");
  EXPECT_EQ(locations, std::vector<std::string>{target});
  EXPECT_EQ(done.size(), 1u);
}

// openssl s_server -WWW sends its close_notify and keeps the TCP connection open: the
// TLS close ends the body, as it does for curl.
TEST_F(Https, TheServersCloseNotifyEndsTheBody) {
  const TCertificateFiles files = ca.Issue("server", {"127.0.0.1"});
  const std::string image = Image(100000);
  PutServedFile(dir.Path(), "www/chart.bin", image);
  const uint16_t port = FreeLoopbackPort();
  TServerProcess server(SIGTERM);
  ASSERT_TRUE(server.Start(
      {"/bin/sh", "-c",
       "cd '" + dir.Path() +
           "/www' && exec openssl s_server -quiet -WWW -http_server_binmode "
           "-accept 127.0.0.1:" +
           std::to_string(port) + " -cert '" + files.Certificate + "' -key '" + files.Key + "'"},
      port));
  client.Timeout = 10;  // without the fix the request would end only here
  Get("https://127.0.0.1:" + std::to_string(port) + "/chart.bin");
  EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
  EXPECT_EQ(done, std::vector<uint16_t>{0});
  EXPECT_TRUE(Text(body) == image);
}

// Each refusal ends the request before anything is sent: the server sees no request.
TEST_F(Https, CertificatesThatProveNothingAreRefusedWithTheirReason) {
  TTestCa stranger(dir, "stranger");
  const struct {
    TCertificateFiles identity;
    std::string reason;
  } cases[] = {
      {ca.Issue("expired", {"localhost"}, -30, -1),
       "certificate verify failed: certificate has expired"},
      {ca.Issue("other", {"other.example"}), "certificate verify failed: hostname mismatch"},
      {stranger.Issue("unknown", {"localhost"}),
       "certificate verify failed: unable to get local issuer certificate"},
  };
  for (const auto& refused : cases) {
    THttpFileServer server(refused.identity);
    server.Serve(kImagePath, "GIF89a must not be stored");
    Get(server.Url(kImagePath));
    EXPECT_EQ(client.StatusCode(), 404) << refused.reason;
    EXPECT_EQ(client.ReasonPhrase(), refused.reason);
    EXPECT_EQ(done, std::vector<uint16_t>{kSslError});
    EXPECT_EQ(Text(body), "");
    EXPECT_EQ(server.Requests(kImagePath), 0);
  }
}

TEST_F(Https, ServerThatStallsInTheHandshakeEndsWithTheTimeout) {
  TScriptedHttpServer silent({{"", true, false}});
  client.Timeout = 1;
  Get("https://127.0.0.1:" + silent.Port() + kImagePath);
  EXPECT_EQ(client.StatusCode(), 404);
  EXPECT_EQ(client.ReasonPhrase(), "Connection timed out (Error #10060)");
  ASSERT_EQ(silent.requests.size(), 1u);
  ASSERT_FALSE(silent.requests[0].empty());
  EXPECT_EQ(silent.requests[0][0], '\x16');  // a TLS handshake record: the client's hello
  EXPECT_EQ(client.CtrlSocket().State(), wsClosed);
}

// A plain HTTP answer to the client's hello is no success, whatever it says.
TEST_F(Https, PlainHttpServerOnAnHttpsUrlFailsTheHandshake) {
  TLoopbackServer server([](TCustomWSocket& connection) {
    connection.OnDataAvailable = [](TCustomWSocket* sender, uint16_t) {
      char hello[4096];
      if (sender->Receive(hello, sizeof hello) <= 0) return;
      sender->SendStr(HttpReply("200 OK", {}, "GIF89a"));
      sender->CloseDelayed();
    };
  });
  Get("https://127.0.0.1:" + server.Port() + kImagePath);
  EXPECT_EQ(client.StatusCode(), 404);
  EXPECT_EQ(client.ReasonPhrase().rfind("TLS handshake failed: ", 0), 0u) << client.ReasonPhrase();
  EXPECT_EQ(Text(body), "");
}

// The CONNECT request byte for byte, and every way a proxy can refuse or fail to open the
// tunnel ending the request with what it said.
TEST_F(Https, AProxyIsAskedForATunnelAndItsRefusalEndsTheRequest) {
  struct TCase {
    const char* name;
    TScriptedReply reply;
    int status;
    std::string reason;
    uint16_t error;
  };
  const TCase cases[] = {
      {"authentication wanted",
       {"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\n"},
       407,
       "Proxy Authentication Required",
       20036},
      {"refused with a body",
       {HttpReply("502 Bad Gateway", {"Content-Length: 4"}, "nope")},
       502,
       "Bad Gateway",
       20036},
      {"1xx is no tunnel", {"HTTP/1.1 100 Continue\r\n\r\n"}, 100, "Continue", 20036},
      {"no HTTP reply",
       {"SSH-2.0-OpenSSH\r\n\r\n"},
       404,
       "Bad reply from the proxy to CONNECT",
       20036},
      {"closed unanswered",
       {"", true},
       404,
       "The proxy closed the connection before opening a tunnel",
       20032},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptedHttpServer proxy({c.reply});
    client.Proxy = "127.0.0.1";
    client.ProxyPort = proxy.Port();
    client.ProxyUsername = "u";
    client.ProxyPassword = "p";
    Get("https://Charts.example:8443/img.gif");
    EXPECT_EQ(client.StatusCode(), c.status);
    EXPECT_EQ(client.ReasonPhrase(), c.reason);
    EXPECT_EQ(done, std::vector<uint16_t>{c.error});
    EXPECT_EQ(Text(body), "");
    ASSERT_EQ(proxy.requests.size(), 1u);
    EXPECT_EQ(proxy.requests[0],
              "CONNECT Charts.example:8443 HTTP/1.1\r\nHost: Charts.example:8443\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\nProxy-Authorization: Basic dTpw\r\n\r\n");
  }
}

}  // namespace
