// A host name with several addresses: the client goes on to the next address when one
// refuses or does not answer, in the order RFC 8305 gives (the families taken in turn),
// and a failure names the last address tried. The names are answered by the lookup hook.

#include <gtest/gtest.h>

#include "http/http_cli.h"
#include "runtime/winsock_errors.h"
#include "tests/http/address_doubles.h"
#include "tests/http/scripted_http_server.h"
#include "tests/http/scripted_socks_server.h"
#include "tests/support/pump.h"

namespace {

constexpr char kName[] = "charts.test";

std::string ClosedPort() {
  TLoopbackServer gone;
  return gone.Port();
}

struct TOutcome {
  int32_t status = 0;
  std::string reason;
  std::string body;
};

TOutcome Fetch(const std::string& port, uint32_t connectTimeoutMs = 0) {
  THttpCli client;
  TMemoryStream body;
  client.RcvdStream = &body;
  if (connectTimeoutMs != 0) client.CtrlSocket().SetConnectAttemptDelay(connectTimeoutMs);
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
    TAnsweringHook hook(kName, c.answer);
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

TEST(EveryAddress, AnAddressThatDoesNotAnswerGetsTheNextTriedBesideIt) {
  TScriptedHttpServer server({{HttpReply("200 OK", {}, "chart")}}, "127.0.0.1");
  TStalledListener stalled("127.0.0.2", server.Port());
  TAnsweringHook hook(kName, {"127.0.0.2", "127.0.0.1"});
  const TOutcome outcome = Fetch(server.Port(), 50);
  EXPECT_EQ(outcome.status, 200) << outcome.reason;
  EXPECT_EQ(outcome.body, "chart");
}

// The slow first attempt is not given up for the next: when the first address answers
// after all and the second never does, the first is the connection.
TEST(EveryAddress, TheFirstAttemptGoesOnAndWinsWhenItAnswersLate) {
  const std::string port = ClosedPort();
  TStalledListener late("127.0.0.2", port), silent("127.0.0.3", port);
  TCustomWSocket socket;
  socket.SetAddrList({"127.0.0.2", "127.0.0.3"});
  socket.SetPort(port);
  socket.SetProto("tcp");
  std::vector<uint16_t> connected;
  socket.OnSessionConnected = [&](TCustomWSocket*, uint16_t error) { connected.push_back(error); };
  socket.Connect();
  MessageLoop& loop = MessageLoop::Current();
  ASSERT_TRUE(PumpUntil(loop, [&] { return socket.LastAddrTried() == "127.0.0.3:" + port; }));
  late.Answer();
  ASSERT_TRUE(PumpUntil(loop, [&] { return !connected.empty(); }));
  EXPECT_EQ(connected, std::vector<uint16_t>{0});
  EXPECT_EQ(socket.PeerAddr(), "127.0.0.2");
  EXPECT_EQ(socket.LastAddrTried(), "127.0.0.2:" + port);
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
    TAnsweringHook hook(kName, c.answer);
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
