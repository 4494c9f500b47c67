// A host name with several addresses: the client goes on to the next address when one
// refuses or does not answer, in the order RFC 8305 gives (the families taken in turn),
// and a failure names the last address tried. The names are answered by the lookup hook.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <mutex>

#include "http/host_lookup.h"
#include "http/http_cli.h"
#include "runtime/winsock_errors.h"
#include "tests/http/scripted_http_server.h"
#include "tests/http/scripted_socks_server.h"

namespace {

constexpr char kName[] = "charts.test";

std::string ClosedPort() {
  TLoopbackServer gone;
  return gone.Port();
}

// kName stands for addresses; every name asked for is kept.
class TAnsweringHook {
 public:
  explicit TAnsweringHook(std::vector<std::string> addresses)
      : hook_([this, addresses](const std::string& name) {
          std::lock_guard lock(mutex_);
          asked_.push_back(name);
          return name == kName ? THostLookupResult{0, name, addresses}
                               : THostLookupResult{WSAHOST_NOT_FOUND, "", {}};
        }) {}
  std::vector<std::string> Asked() {
    std::lock_guard lock(mutex_);
    return asked_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> asked_;
  TScopedHostLookup hook_;
};

// A listener whose queue of connections is full and never taken from: a connect to it
// neither succeeds nor fails, like one to a host that drops the packets.
class TStalledListener {
 public:
  TStalledListener(const std::string& address, const std::string& port) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    const bool listening =
        bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
        listen(listener_, 0) == 0;
    EXPECT_TRUE(listening) << address << ":" << port;
    for (int& filler : fillers_) {
      filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      connect(filler, reinterpret_cast<sockaddr*>(&where), sizeof where);
    }
  }
  ~TStalledListener() {
    for (const int filler : fillers_) close(filler);
    close(listener_);
  }
  TStalledListener(const TStalledListener&) = delete;
  TStalledListener& operator=(const TStalledListener&) = delete;

 private:
  int listener_ = -1;
  int fillers_[2] = {-1, -1};
};

struct TOutcome {
  int32_t status = 0;
  std::string reason;
  std::string body;
};

TOutcome Fetch(const std::string& port, uint32_t connectTimeoutMs = 0) {
  THttpCli client;
  TMemoryStream body;
  client.RcvdStream = &body;
  if (connectTimeoutMs != 0) client.CtrlSocket().SetConnectTimeout(connectTimeoutMs);
  client.URL = std::string("http://") + kName + ":" + port + "/chart.gif";
  client.Get();
  MessageLoop::Current().ProcessMessages();
  return {client.StatusCode(), client.ReasonPhrase(),
          std::string(body.Bytes().begin(), body.Bytes().end())};
}

}  // namespace

TEST(EveryAddress, TheFetchGoesOnUntilAnAddressAnswers) {
  struct TCase {
    const char* what;
    std::vector<std::string> answer;
    std::string listening;
  };
  const TCase cases[] = {
      {"IPv6 first, only IPv4 listens", {"::1", "127.0.0.1"}, "127.0.0.1"},
      {"IPv4 first, only IPv6 listens", {"127.0.0.1", "::1"}, "::1"},
      {"the first refuses", {"127.0.0.2", "127.0.0.1"}, "127.0.0.1"},
      {"both refuse before the one that listens", {"127.0.0.2", "::1", "127.0.0.1"}, "127.0.0.1"},
  };
  for (const TCase& c : cases) {
    TAnsweringHook hook(c.answer);
    TScriptedHttpServer server({{HttpReply("200 OK", {}, "chart")}}, c.listening);
    const TOutcome outcome = Fetch(server.Port());
    EXPECT_EQ(outcome.status, 200) << c.what << ": " << outcome.reason;
    EXPECT_EQ(outcome.body, "chart") << c.what;
    EXPECT_EQ(hook.Asked(), std::vector<std::string>{kName}) << c.what;  // looked up once
    ASSERT_EQ(server.requests.size(), 1u) << c.what;
    EXPECT_NE(server.requests[0].find(std::string("\r\nHost: ") + kName + ":" + server.Port()),
              std::string::npos)
        << c.what;
  }
}

TEST(EveryAddress, AnAddressThatDoesNotAnswerGivesWayAfterTheConnectTimeOut) {
  TScriptedHttpServer server({{HttpReply("200 OK", {}, "chart")}}, "127.0.0.1");
  TStalledListener stalled("127.0.0.2", server.Port());
  TAnsweringHook hook({"127.0.0.2", "127.0.0.1"});
  const TOutcome outcome = Fetch(server.Port(), 50);
  EXPECT_EQ(outcome.status, 200) << outcome.reason;
  EXPECT_EQ(outcome.body, "chart");
}

TEST(EveryAddress, WhenAllRefuseTheErrorNamesTheLastAddressTried) {
  const std::string port = ClosedPort();
  struct TCase {
    std::vector<std::string> answer;
    std::string last;
  };
  const TCase cases[] = {
      {{"127.0.0.1"}, "127.0.0.1:" + port},
      {{"::1", "127.0.0.2", "127.0.0.1"}, "127.0.0.1:" + port},
      {{"127.0.0.2", "::1", "127.0.0.3"}, "127.0.0.3:" + port},    // tried 2, ::1, 3
      {{"::1", "0:0:0:0:0:0:0:1", "127.0.0.2"}, "[::1]:" + port},  // tried ::1, 2, ::1
  };
  for (const TCase& c : cases) {
    TAnsweringHook hook(c.answer);
    const TOutcome outcome = Fetch(port);
    EXPECT_EQ(outcome.status, 404);
    EXPECT_EQ(outcome.reason, "Connection refused (Error #10061) connecting to " + c.last);
  }
}

// The addresses of the document's host are for the SOCKS server to reach; the client
// itself connects to the SOCKS server's address, here another one than the host's.
TEST(EveryAddress, ThroughSocksTheClientConnectsToTheSocksServerNotToTheHost) {
  const std::string request4A = Bytes({4, 1, 0x1f, 0x90, 0, 0, 0, 1, 0}) + "127.0.0.2" + '\0';
  const std::string granted = Bytes({0, 90, 0, 0, 0, 0, 0, 0});
  TScriptedSocksServer socks(
      {{request4A.size(), "", granted}, {0, "\r\n\r\n", HttpReply("200 OK", {}, "relayed"), true}});
  THttpCli client;
  TMemoryStream body;
  client.RcvdStream = &body;
  client.SetSocksServer("127.0.0.1");
  client.SetSocksPort(socks.Port());
  client.SetSocksLevel("4A");
  client.URL = "http://127.0.0.2:8080/doc.txt";
  client.Get();
  EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
  EXPECT_EQ(std::string(body.Bytes().begin(), body.Bytes().end()), "relayed");
  EXPECT_EQ(socks.received.substr(0, request4A.size()), request4A);
}
