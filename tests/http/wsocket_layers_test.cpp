#include <gtest/gtest.h>

#include "http/wsocket.h"
#include "tests/http/loopback_server.h"
#include "tests/support/pump.h"

namespace {

// A server that sends text to each client as soon as it connects, and then closes.
TLoopbackServer Sending(const std::string& text) {
  return TLoopbackServer([text](TCustomWSocket& connection) {
    // An adopted connection tells of itself only by its change of state.
    connection.OnChangeState = [text](TCustomWSocket* sender, TSocketState, TSocketState to) {
      if (to != wsConnected) return;
      sender->SendStr(text);
      sender->CloseDelayed();
    };
  });
}

class WSocketLayers : public ::testing::Test {
 protected:
  ~WSocketLayers() override { loop_.ProcessMessages(); }

  void ConnectTo(TCustomWSocket& socket, const std::string& port) {
    socket.SetAddr("127.0.0.1");
    socket.SetPort(port);
    socket.SetProto("tcp");
    socket.Connect();
  }

  // Connects, records the events and reads with reader until the socket has closed.
  std::vector<std::string> RunClient(TCustomWSocket& client, const std::string& port,
                                     std::function<void(TCustomWSocket&)> reader) {
    TEventRecorder recorder(client);
    recorder.reader = std::move(reader);
    ConnectTo(client, port);
    EXPECT_TRUE(PumpUntil(loop_, [&] { return client.State() == wsClosed; }));
    return recorder.events;
  }

  MessageLoop& loop_ = MessageLoop::Current();
};

std::string ReadSome(TCustomWSocket& socket) {
  char buffer[256];
  const int count = socket.Receive(buffer, sizeof buffer);
  return count > 0 ? std::string(buffer, count) : std::string();
}

}  // namespace

TEST_F(WSocketLayers, InPassThroughTheEventsAndCountsAreThoseOfTheSocketLayer) {
  TLoopbackServer server = Sending("a\r\nb\r\n");
  std::string plain, layered;
  TCustomWSocket base;
  const auto baseEvents =
      RunClient(base, server.Port(), [&](TCustomWSocket& s) { plain += ReadSome(s); });
  TWSocket socket;
  const auto layerEvents =
      RunClient(socket, server.Port(), [&](TCustomWSocket& s) { layered += ReadSome(s); });
  EXPECT_EQ(layered, "a\r\nb\r\n");
  EXPECT_EQ(layered, plain);
  // How often the read loop passes depends on how the bytes arrive; the rest must match.
  auto withoutReads = [](std::vector<std::string> events) {
    std::erase(events, "DataAvailable(0)");
    return events;
  };
  EXPECT_EQ(withoutReads(layerEvents), withoutReads(baseEvents));
}

TEST_F(WSocketLayers, EveryCloseEmptiesTheSocksServer) {
  TLoopbackServer server = Sending("x");
  TWSocket socket;
  socket.SetSocksLevel("4a");
  EXPECT_EQ(socket.SocksLevel(), "4A");
  socket.SetSocksServer(" 127.0.0.1 ");
  EXPECT_EQ(socket.SocksServer(), "127.0.0.1");
  socket.SetSocksServer("");
  RunClient(socket, server.Port(), ReadSome);
  // The server is no SOCKS server: it answers "x" and closes during the negotiation.
  socket.SetSocksServer("127.0.0.1");
  socket.SetSocksPort(server.Port());
  socket.SetSocksLevel("4");
  RunClient(socket, server.Port(), ReadSome);
  EXPECT_EQ(socket.SocksServer(), "");
  EXPECT_EQ(socket.SocksLevel(), "5");

  std::string reported;
  socket.OnError = [&](TCustomWSocket* sender) { reported = sender->ErrorMessage(); };
  socket.SetSocksLevel("6");
  EXPECT_EQ(reported, "Invalid socks level. Must be 4, 4A, 5 or 5h.");
}

TEST_F(WSocketLayers, LineModeGivesOneDataCallPerLineWithItsLineEnd) {
  TLoopbackServer server = Sending("a\r\nb\r\nlast");
  TWSocket socket;
  socket.SetLineMode(true);
  std::vector<std::string> lines;
  RunClient(socket, server.Port(), [&](TCustomWSocket& s) {
    const int32_t waiting = s.RcvdCount();
    const std::string line = ReadSome(s);
    EXPECT_EQ(static_cast<size_t>(waiting), line.size());
    lines.push_back(line);
  });
  // The text after the last line end comes as a last line when the connection closes.
  EXPECT_EQ(lines, (std::vector<std::string>{"a\r\n", "b\r\n", "last"}));
}

TEST_F(WSocketLayers, ALineOverTheLimitIsDroppedUnlessTheHandlerKeepsIt) {
  for (const bool keep : {false, true}) {
    // No line end at all: the held bytes pass the limit, and what is kept comes as the last
    // line at the close.
    TLoopbackServer server = Sending("0123456789");
    TWSocket socket;
    socket.SetLineMode(true);
    socket.SetLineEnd("\n");
    socket.SetLineLimit(4);
    std::vector<int32_t> exceeded;
    socket.OnLineLimitExceeded = [&](TCustomWSocket*, int32_t length, bool& ClearData) {
      exceeded.push_back(length);
      ClearData = !keep;
    };
    std::vector<std::string> lines;
    RunClient(socket, server.Port(), [&](TCustomWSocket& s) { lines.push_back(ReadSome(s)); });
    ASSERT_FALSE(exceeded.empty()) << keep;
    EXPECT_GT(exceeded.front(), 4);
    if (keep)
      EXPECT_EQ(lines, std::vector<std::string>{"0123456789"});
    else
      EXPECT_TRUE(lines.empty());
  }
}

TEST_F(WSocketLayers, SwitchingLineModeOffHandsTheHeldBytesOnFromTheLoop) {
  TLoopbackServer server = Sending("one\r\ntwo\r\n");
  TWSocket socket;
  socket.SetLineMode(true);
  std::string received;
  RunClient(socket, server.Port(), [&](TCustomWSocket& s) {
    received += ReadSome(s);
    // After the first line the rest is read as it comes.
    if (socket.LineMode()) socket.SetLineMode(false);
  });
  EXPECT_EQ(received, "one\r\ntwo\r\n");
}

TEST_F(WSocketLayers, WaitUntilReadyPumpsUntilTheFlagIsSetOrTheTimeOutPasses) {
  TWSocket socket;
  bool done = false;
  const TWindowHandle window = loop_.AllocateHWnd([&](TMessage&) { done = true; });
  socket.SetWaitTimeout(0);
  EXPECT_EQ(socket.Synchronize([&] { loop_.PostMessage(window, WM_USER, 0, 0); }, done), 0);
  EXPECT_TRUE(done);
  loop_.DeallocateHWnd(window);
  bool never = false;
  socket.SetWaitTimeout(1);
  EXPECT_EQ(socket.WaitUntilReady(never), kWaitTimedOut);
}
