// The SOCKS layer against scripted SOCKS servers on loopback: every failure the server can
// cause reaches OnSocksError, the connect event and the close with its code and text; the
// authentication states; the data behind a connect reply.

#include <gtest/gtest.h>

#include "http/http_cli.h"
#include "http/wsocket.h"
#include "tests/http/scripted_http_server.h"
#include "tests/http/scripted_socks_server.h"
#include "tests/support/pump.h"

namespace {

constexpr char kUser[] = "u";
constexpr char kPassword[] = "p";
// The client's requests, as the server counts them.
constexpr size_t kMethodRequest = 3;                                          // 5, 1, method
constexpr size_t kAuthRequest = 3 + sizeof kUser - 1 + sizeof kPassword - 1;  // RFC 1929
constexpr size_t kSocks5Connect = 7 + sizeof "127.0.0.1" - 1;                 // by name
constexpr size_t kSocks4Connect = 9;                                          // no user code

const std::string kGranted5 = Bytes({5, 0, 0, 1, 10, 1, 2, 3, 0x1f, 0x90});
// Longer than any host name: refused without a lookup.
const std::string kLongName(300, 'h');
const std::string kGranted4 = Bytes({0, 90, 0, 0, 0, 0, 0, 0});

std::vector<TSocksStep> Socks5(const std::string& connectReply) {
  return {{kMethodRequest, "", Bytes({5, 0})}, {kSocks5Connect, "", connectReply}};
}
std::vector<TSocksStep> Socks5Auth(const std::string& authReply) {
  return {{kMethodRequest, "", Bytes({5, 2})}, {kAuthRequest, "", authReply}};
}
std::vector<TSocksStep> Socks4(const std::string& connectReply) {
  return {{kSocks4Connect, "", connectReply}};
}

// What a SOCKS client socket saw of one connection.
struct TSocksRun {
  std::vector<std::pair<int32_t, std::string>> socksErrors;
  std::vector<int> connected, closed, authStates;
  std::vector<std::pair<int32_t, std::string>> reads;  // RcvdCount, then the bytes read
};

struct TSocksClient {
  explicit TSocksClient(std::string level, bool authenticate = false,
                        std::string addr = "127.0.0.1")
      : level(std::move(level)), authenticate(authenticate), addr(std::move(addr)) {}
  std::string level;
  bool authenticate;
  std::string addr;
  std::string greeting;  // sent once the connection counts as made
};

TSocksRun RunSocksClient(const TScriptedSocksServer& server, const TSocksClient& settings) {
  TWSocket socket;
  TSocksRun run;
  socket.SetSocksServer("127.0.0.1");
  socket.SetSocksPort(server.Port());
  socket.SetSocksLevel(settings.level);
  if (settings.authenticate) {
    socket.SetSocksAuthentication(socksAuthenticateUsercode);
    socket.SetSocksUsercode(kUser);
    socket.SetSocksPassword(kPassword);
  }
  socket.OnSocksError = [&](TCustomWSocket*, int32_t error, const std::string& text) {
    run.socksErrors.emplace_back(error, text);
  };
  socket.OnSocksAuthState = [&](TCustomWSocket*, TSocksAuthState state) {
    run.authStates.push_back(state);
  };
  socket.OnSessionConnected = [&](TCustomWSocket* sender, uint16_t error) {
    run.connected.push_back(error);
    if (error == 0 && !settings.greeting.empty()) sender->SendStr(settings.greeting);
  };
  socket.OnSessionClosed = [&](TCustomWSocket*, uint16_t error) { run.closed.push_back(error); };
  socket.OnDataAvailable = [&](TCustomWSocket* sender, uint16_t) {
    const int32_t waiting = sender->RcvdCount();
    char buffer[256];
    const int count = sender->Receive(buffer, sizeof buffer);
    if (count > 0) run.reads.emplace_back(waiting, std::string(buffer, count));
  };
  socket.SetAddr(settings.addr);
  socket.SetPort("8080");
  socket.SetProto("tcp");
  socket.Connect();
  EXPECT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return socket.State() == wsClosed; }));
  return run;
}

struct TFailureCase {
  const char* name;
  TSocksClient client;
  std::vector<TSocksStep> steps;
  int32_t code;
  std::string text;
};

std::vector<TFailureCase> FailureCases() {
  const TSocksClient five("5"), auth("5", true), four("4");
  std::vector<TFailureCase> cases = {
      {"method reply of version 4",
       five,
       {{kMethodRequest, "", Bytes({4, 0})}},
       20002,
       "socks version error"},
      {"no acceptable method",
       five,
       {{kMethodRequest, "", Bytes({5, 0xff})}},
       20003,
       "authentification method not acceptable"},
      {"a method not offered",
       five,
       {{kMethodRequest, "", Bytes({5, 1})}},
       20003,
       "authentification method not acceptable"},
      {"authentication reply of version 2", auth, Socks5Auth(Bytes({2, 0})), 20002,
       "socks version error"},
      {"user and password refused", auth, Socks5Auth(Bytes({1, 1})), 20015,
       "socks authentication failed"},
      {"authentication reply too long", auth, Socks5Auth(Bytes({1, 0, 0})), 20001,
       "too much data availaible"},
      {"connect reply of version 4", five, Socks5(Bytes({4, 0, 0, 1, 1, 2, 3, 4, 0, 80})), 20002,
       "socks version error"},
      {"reply code 9", five, Socks5(Bytes({5, 9, 0, 1, 1, 2, 3, 4, 0, 80})), 20012,
       "unassigned error #9"},
      {"reply code 255", five, Socks5(Bytes({5, 255, 0, 1, 1, 2, 3, 4, 0, 80})), 20012,
       "unassigned error #255"},
      {"bound address of an unknown type", five, Socks5(Bytes({5, 0, 0, 5, 1, 2, 3, 4, 0, 80})),
       20011, "address type not supported"},
      // A bound name longer than the reply buffer: refused rather than waited for.
      {"bound name beyond the reply buffer", five,
       Socks5(Bytes({5, 0, 0, 3, 255}) + std::string(200, 'n')), 20013, "internal error"},
      {"SOCKS 4 reply of version 1", four, Socks4(Bytes({1, 90, 0, 0, 0, 0, 0, 0})), 20002,
       "socks version error"},
      {"SOCKS 4 rejected", four, Socks4(Bytes({0, 91, 0, 0, 0, 0, 0, 0})), 20016,
       "request rejected or failed"},
      {"SOCKS 4 no ident", four, Socks4(Bytes({0, 92, 0, 0, 0, 0, 0, 0})), 20008,
       "connection refused"},
      {"SOCKS 4 ident mismatch", four, Socks4(Bytes({0, 93, 0, 0, 0, 0, 0, 0})), 20015,
       "authentification failed"},
      {"SOCKS 4 status 94", four, Socks4(Bytes({0, 94, 0, 0, 0, 0, 0, 0})), 20012,
       "unassigned error #94"},
      // SOCKS 4 sends the address itself; one that cannot be resolved ends the negotiation
      // before anything is sent.
      {"SOCKS 4 target not resolved",
       TSocksClient("4", false, kLongName),
       {},
       20017,
       "ESocketException WSocketResolveHost: '" + kLongName + "' Invalid Hostname."},
  };
  const char* const replyTexts[] = {
      "general SOCKS server failure", "connection not allowed by ruleset",
      "network unreachable",          "host unreachable",
      "connection refused",           "time to live expired",
      "command not supported",        "address type not supported"};
  for (int code = 1; code <= 8; ++code)
    cases.push_back({"SOCKS 5 reply code 1 to 8", five,
                     Socks5(Bytes({5, code, 0, 1, 1, 2, 3, 4, 0, 80})), 20003 + code,
                     replyTexts[code - 1]});
  return cases;
}

}  // namespace

TEST(ScriptedSocks, EveryServerFailureReachesTheErrorTheConnectAndTheClose) {
  for (const TFailureCase& c : FailureCases()) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.text);
    TScriptedSocksServer server(c.steps);
    const TSocksRun run = RunSocksClient(server, c.client);
    using TError = std::pair<int32_t, std::string>;
    EXPECT_EQ(run.socksErrors, (std::vector<TError>{{c.code, c.text}}));
    EXPECT_EQ(run.connected, std::vector<int>{static_cast<uint16_t>(c.code)});
    EXPECT_EQ(run.closed, std::vector<int>{static_cast<uint16_t>(c.code)});
    EXPECT_TRUE(run.reads.empty());
  }
}

TEST(ScriptedSocks, AuthenticationStatesFollowTheServersChoice) {
  struct TCase {
    const char* name;
    std::vector<TSocksStep> steps;
    std::vector<int> states;
    std::vector<int> connected;
  };
  const std::vector<TCase> cases = {
      {"not required",
       {{kMethodRequest, "", Bytes({5, 0})}, {kSocks5Connect, "", kGranted5, true}},
       {socksAuthNotRequired},
       {0}},
      {"accepted",
       {{kMethodRequest, "", Bytes({5, 2})},
        {kAuthRequest, "", Bytes({1, 0})},
        {kSocks5Connect, "", kGranted5, true}},
       {socksAuthStart, socksAuthSuccess},
       {0}},
      {"server closes instead of answering",
       {{kMethodRequest, "", Bytes({5, 2})}, {kAuthRequest, "", "", true}},
       {socksAuthStart, socksAuthFailure},
       {}},
      {"refused", Socks5Auth(Bytes({1, 1})), {socksAuthStart}, {20015}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptedSocksServer server(c.steps);
    const TSocksRun run = RunSocksClient(server, TSocksClient("5", true));
    EXPECT_EQ(run.authStates, c.states);
    EXPECT_EQ(run.connected, c.connected);
    if (c.states.size() > 1) {
      // What the server was sent: the offer of user and password, then both.
      EXPECT_EQ(server.received.substr(0, kMethodRequest + kAuthRequest),
                Bytes({5, 1, 2, 1, 1, 'u', 1, 'p'}));
    }
  }
}

TEST(ScriptedSocks, DataBehindTheConnectReplyIsServedFirst) {
  struct TCase {
    const char* level;
    std::vector<TSocksStep> steps;
  };
  const TSocksStep rest{4, "", "world", true};  // answers the client's "ping"
  const std::vector<TCase> cases = {
      {"5", {{kMethodRequest, "", Bytes({5, 0})}, {kSocks5Connect, "", kGranted5 + "hello"}, rest}},
      {"4", {{kSocks4Connect, "", kGranted4 + "hello"}, rest}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.level);
    TScriptedSocksServer server(c.steps);
    TSocksClient client(c.level);
    client.greeting = "ping";
    const TSocksRun run = RunSocksClient(server, client);
    EXPECT_EQ(run.connected, std::vector<int>{0});
    ASSERT_GE(run.reads.size(), 2u);
    // The bytes that came with the reply, counted on their own, before the rest.
    EXPECT_EQ(run.reads[0], (std::pair<int32_t, std::string>{5, "hello"}));
    std::string all;
    for (const auto& read : run.reads) all += read.second;
    EXPECT_EQ(all, "helloworld");
    EXPECT_EQ(server.received.substr(server.received.size() - 4), "ping");
  }
}

TEST(ScriptedSocks, TheClientFetchesThroughSocks4ANamingTheHost) {
  const std::string request4A = Bytes({4, 1, 0x1f, 0x90, 0, 0, 0, 1, 0}) + "127.0.0.1" + '\0';
  const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nbody";
  TScriptedSocksServer server({{request4A.size(), "", kGranted4}, {0, "\r\n\r\n", reply, true}});
  THttpCli client;
  TMemoryStream body;
  client.RcvdStream = &body;
  client.SetSocksServer("127.0.0.1");
  client.SetSocksPort(server.Port());
  client.SetSocksLevel("4A");
  client.URL = "http://127.0.0.1:8080/doc.txt";
  client.Get();
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(std::string(body.Bytes().begin(), body.Bytes().end()), "body");
  EXPECT_EQ(server.received.substr(0, request4A.size()), request4A);
  EXPECT_EQ(server.received.substr(request4A.size(), 23), "GET /doc.txt HTTP/1.0\r\n");
  EXPECT_EQ(client.SocksServer(), "127.0.0.1");

  // The next request goes through the SOCKS server again, never straight to the web
  // server: with the SOCKS server gone it fails.
  TScriptedHttpServer web({{HttpReply("200 OK", {}, "direct")}});
  {
    TScriptedSocksServer gone({});
    client.SetSocksPort(gone.Port());
  }
  client.URL = web.URL("/doc.txt");
  client.Get();
  EXPECT_EQ(client.StatusCode(), 404);
  EXPECT_TRUE(web.requests.empty());
}

TEST(ScriptedSocks, ASocksFailureEndsTheClientsRequestWithItsCode) {
  TScriptedSocksServer server(Socks5(Bytes({5, 5, 0, 1, 1, 2, 3, 4, 0, 80})));
  THttpCli client;
  std::vector<int32_t> socksErrors;
  std::string socksText;
  client.OnSocksError = [&](TCustomWSocket*, int32_t error, const std::string& text) {
    socksErrors.push_back(error);
    socksText = text;
  };
  std::vector<uint16_t> done;
  client.OnRequestDone = [&](THttpCli*, THttpRequest, uint16_t error) { done.push_back(error); };
  client.SetSocksServer("127.0.0.1");
  client.SetSocksPort(server.Port());
  client.URL = "http://127.0.0.1:8080/doc.txt";
  client.Get();
  EXPECT_EQ(socksErrors, std::vector<int32_t>{20008});
  EXPECT_EQ(done, std::vector<uint16_t>{20008});
  EXPECT_EQ(client.StatusCode(), 404);
  EXPECT_EQ(client.ReasonPhrase(), socksText);
  EXPECT_NE(socksText, "");
}
