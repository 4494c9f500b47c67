#include "http/custom_wsocket.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "http/swallowed_errors.h"
#include "runtime/exceptions.h"
#include "tests/http/loopback_server.h"
#include "tests/support/pump.h"

namespace {

using TEvents = std::vector<std::string>;

// The events with runs of the same one folded into one: how often a read loop passes
// depends on how the bytes arrive.
TEvents Folded(const TEvents& events) {
  TEvents folded;
  for (const std::string& event : events)
    if (folded.empty() || folded.back() != event) folded.push_back(event);
  return folded;
}

// Reads everything waiting into text.
void ReadAll(TCustomWSocket& socket, std::string& text) {
  char buffer[4096];
  int count = 0;
  while ((count = socket.Receive(buffer, sizeof buffer)) > 0) text.append(buffer, count);
}

std::string ClosedPort() {
  TLoopbackServer gone;
  return gone.Port();
}

// A pattern that shows a lost, doubled or swapped chunk.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245 + 12345;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

class CustomWSocket : public ::testing::Test {
 protected:
  ~CustomWSocket() override {
    // Leave nothing queued for the next test.
    loop_.ProcessMessages();
  }

  void ConnectTo(TCustomWSocket& socket, const std::string& port) {
    socket.SetAddr("127.0.0.1");
    socket.SetPort(port);
    socket.SetProto("tcp");
    socket.Connect();
  }

  MessageLoop& loop_ = MessageLoop::Current();
};

}  // namespace

TEST_F(CustomWSocket, ASuccessfulClientConnectionInEventOrder) {
  // The server answers "world" to what it reads and closes.
  TLoopbackServer server([](TCustomWSocket& connection) {
    connection.OnDataAvailable = [](TCustomWSocket* sender, uint16_t) {
      std::string text;
      ReadAll(*sender, text);
      if (text.empty()) return;
      sender->SendStr("world");
      sender->CloseDelayed();
    };
  });
  TCustomWSocket client;
  TEventRecorder recorder(client);
  std::string received;
  recorder.reader = [&](TCustomWSocket& socket) { ReadAll(socket, received); };
  client.OnDnsLookupDone = [&, record = client.OnDnsLookupDone](TCustomWSocket* sender,
                                                                uint16_t error) {
    record(sender, error);
    ConnectTo(client, server.Port());
  };
  client.OnSessionConnected = [&, record = client.OnSessionConnected](TCustomWSocket* sender,
                                                                      uint16_t error) {
    record(sender, error);
    sender->SendStr("hello");
  };

  client.DnsLookup("127.0.0.1");
  ASSERT_TRUE(PumpUntil(loop_, [&] { return client.State() == wsClosed; }));

  EXPECT_EQ(received, "world");
  const TEvents expected = {"DnsLookupDone(0)",
                            "ChangeState(wsClosed,wsOpened)",
                            "ChangeState(wsOpened,wsConnecting)",
                            "ChangeState(wsConnecting,wsConnected)",
                            "SessionConnected(0)",
                            "SendData(5)",
                            "DataSent(0)",
                            "DataAvailable(0)",
                            "SessionClosed(0)",
                            "ChangeState(wsConnected,wsClosed)"};
  EXPECT_EQ(Folded(recorder.events), expected);
  // The close itself brings one more pass of the read loop after the data.
  EXPECT_GE(std::count(recorder.events.begin(), recorder.events.end(), "DataAvailable(0)"), 2);
}

TEST_F(CustomWSocket, ARefusedConnectInEventOrder) {
  TCustomWSocket client;
  TEventRecorder recorder(client);
  ConnectTo(client, ClosedPort());
  ASSERT_TRUE(PumpUntil(loop_, [&] { return client.State() == wsClosed; }));
  const TEvents expected = {
      "ChangeState(wsClosed,wsOpened)",        "ChangeState(wsOpened,wsConnecting)",
      "ChangeState(wsConnecting,wsConnected)", "SessionConnected(10061)",
      "ChangeState(wsConnected,wsClosed)",     "SessionClosed(0)"};
  EXPECT_EQ(recorder.events, expected);
}

TEST_F(CustomWSocket, DottedLookupsAnswerAtOnceNamesLaterFromTheLoop) {
  TCustomWSocket socket;
  TEventRecorder recorder(socket);
  socket.DnsLookup("127.000.0.1");
  EXPECT_EQ(recorder.events, TEvents{"DnsLookupDone(0)"});
  EXPECT_EQ(socket.DnsResult(), "127.0.0.1");  // as inet_ntoa writes it
  EXPECT_EQ(socket.DnsResultList(), std::vector<std::string>{"127.0.0.1"});

  socket.DnsLookup("localhost");
  EXPECT_EQ(recorder.events.size(), 1u);  // not inside the call
  EXPECT_EQ(socket.DnsResult(), "");
  ASSERT_TRUE(PumpUntil(loop_, [&] { return recorder.events.size() == 2; }));
  EXPECT_EQ(recorder.events[1], "DnsLookupDone(0)");
  // Where localhost is ::1 as well, that address may come first.
  const std::vector<std::string>& found = socket.DnsResultList();
  EXPECT_NE(std::find(found.begin(), found.end(), "127.0.0.1"), found.end());
  EXPECT_EQ(socket.DnsResult(), found.front());
}

TEST_F(CustomWSocket, ACancelledLookupAnswersWithTheInterruptAndNothingLater) {
  TCustomWSocket socket;
  TEventRecorder recorder(socket);
  socket.DnsLookup("localhost");
  socket.CancelDnsLookup();
  EXPECT_EQ(recorder.events, TEvents{"DnsLookupDone(10004)"});
  socket.DnsLookup("localhost");  // a new lookup answers; the cancelled one never does
  ASSERT_TRUE(PumpUntil(loop_, [&] { return recorder.events.size() == 2; }));
  loop_.ProcessMessages();
  EXPECT_EQ(recorder.events, (TEvents{"DnsLookupDone(10004)", "DnsLookupDone(0)"}));
}

TEST_F(CustomWSocket, AnEmptyHostNameWithAndWithoutOnError) {
  TCustomWSocket socket;
  TEventRecorder recorder(socket);
  try {
    socket.DnsLookup("");
    ADD_FAILURE() << "nothing raised";
  } catch (const ESocketException& error) {
    EXPECT_EQ(error.Message(), "DNS lookup: invalid host name.");
  }
  EXPECT_TRUE(recorder.events.empty());

  int errors = 0;
  socket.OnError = [&](TCustomWSocket* sender) {
    ++errors;
    EXPECT_EQ(sender->ErrorMessage(), "DNS lookup: invalid host name.");
  };
  socket.DnsLookup("");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(recorder.events, TEvents{"DnsLookupDone(10022)"});
}

TEST_F(CustomWSocket, SendingBeforeConnectingReportsNotConnected) {
  TCustomWSocket socket;
  const std::string text = "Error 10057 in function Send\r\nSocket is not connected";
  try {
    socket.SendStr("x");
    ADD_FAILURE() << "nothing raised";
  } catch (const ESocketException& error) {
    EXPECT_EQ(error.Message(), text);
  }
  socket.OnError = [](TCustomWSocket*) {};
  EXPECT_EQ(socket.SendStr("x"), -1);
  EXPECT_EQ(socket.ErrorMessage(), text);
  EXPECT_EQ(socket.LastError(), 10057);
  EXPECT_EQ(socket.State(), wsClosed);
}

TEST_F(CustomWSocket, ThePeersCloseGivesExactlyOneSessionClosedAndResetsTheSocket) {
  TLoopbackServer server([](TCustomWSocket& connection) {
    connection.OnSessionConnected = nullptr;
    connection.OnDataAvailable = [](TCustomWSocket* sender, uint16_t) {
      std::string ignored;
      ReadAll(*sender, ignored);
      sender->CloseDelayed();
    };
  });
  TCustomWSocket client;
  int closes = 0;
  client.OnSessionClosed = [&](TCustomWSocket*, uint16_t) { ++closes; };
  client.OnSessionConnected = [](TCustomWSocket* sender, uint16_t) { sender->SendStr("bye"); };
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil(loop_, [&] { return client.State() == wsClosed; }));
  for (int pass = 0; pass < 3; ++pass) loop_.ProcessMessages();
  EXPECT_EQ(closes, 1);

  // Every close resets the properties: Addr and Port keep their texts but must be set
  // again before the next connect.
  EXPECT_EQ(client.Addr(), "127.0.0.1");
  EXPECT_EQ(client.LocalAddr(), "0.0.0.0");
  EXPECT_EQ(client.LingerOnOff(), wsLingerOn);
  client.OnError = [](TCustomWSocket*) {};
  client.Connect();
  EXPECT_EQ(client.ErrorMessage(), "Connect: No Port Specified");
  client.SetPort(server.Port());
  client.Connect();
  EXPECT_EQ(client.ErrorMessage(), "Connect: No IP Address Specified");
}

TEST_F(CustomWSocket, WithoutADataHandlerDataIsDrainedIn1024ByteReads) {
  // Records how much each system read asks for.
  class TDrainedSocket : public TCustomWSocket {
   public:
    std::vector<int> sizes;

   protected:
    int DoRecv(void* buffer, int size, int flags) override {
      sizes.push_back(size);
      return TCustomWSocket::DoRecv(buffer, size, flags);
    }
  };
  const std::string data = Pattern(3000);
  TLoopbackServer server(
      [&](TCustomWSocket& connection) { connection.OnSessionConnected = nullptr; });
  TDrainedSocket client;
  client.OnSessionConnected = [&](TCustomWSocket*, uint16_t) {
    server.Connections().back()->SendStr(data);
  };
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil(loop_, [&] { return client.ReadCount() == 3000; }));
  ASSERT_FALSE(client.sizes.empty());
  for (const int size : client.sizes) EXPECT_EQ(size, 1024);
  EXPECT_GE(client.sizes.size(), 3u);
}

TEST_F(CustomWSocket, TenMebibytesGoThroughTheChunkedQueueIntact) {
  const std::string data = Pattern(10 * 1024 * 1024);
  std::string received;
  TLoopbackServer server([&](TCustomWSocket& connection) {
    connection.OnDataAvailable = [&](TCustomWSocket* sender, uint16_t) {
      ReadAll(*sender, received);
    };
  });
  TCustomWSocket client;
  int dataSent = 0;
  client.OnDataSent = [&](TCustomWSocket*, uint16_t) { ++dataSent; };
  client.OnSessionConnected = [&](TCustomWSocket* sender, uint16_t) {
    EXPECT_EQ(sender->Send(data.data(), static_cast<int>(data.size())),
              static_cast<int>(data.size()));
    EXPECT_EQ(dataSent, 0);  // never inside Send
  };
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil(loop_, [&] { return received.size() >= data.size(); }));
  EXPECT_TRUE(received == data);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return dataSent > 0; }));
  EXPECT_EQ(dataSent, 1);
  EXPECT_EQ(client.ChunkSize(), 1460);
}

TEST_F(CustomWSocket, PropertiesChangeOnlyWhileClosed) {
  TLoopbackServer server;
  TCustomWSocket client;
  std::vector<std::string> reports;
  client.OnError = [&](TCustomWSocket* sender) { reports.push_back(sender->ErrorMessage()); };
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil(loop_, [&] { return client.State() == wsConnected; }));

  client.SetAddr(" 127.0.0.1 ");  // the same trimmed text: nothing happens at all
  client.SetPort(server.Port());
  client.SetProto("tcp");
  EXPECT_TRUE(reports.empty());
  client.SetAddr("10.0.0.1");
  client.SetPort("81");
  client.SetProto("udp");
  client.SetLocalAddr("");
  client.SetLocalPort("1");
  const TEvents expected = {"Cannot change Addr if not closed", "Cannot change Port if not closed",
                            "Cannot change Proto if not closed",
                            "Cannot change LocalAddr if not closed",
                            "Cannot change LocalPort if not closed"};
  EXPECT_EQ(reports, expected);
  EXPECT_EQ(client.Addr(), "127.0.0.1");

  EXPECT_EQ(client.PeerAddr(), "127.0.0.1");
  EXPECT_EQ(client.PeerPort(), server.Port());
  EXPECT_EQ(client.GetXAddr(), "127.0.0.1");
  client.Connect();
  EXPECT_EQ(reports.back(), "Connect: Socket already in use");
  client.CloseConnection();
  EXPECT_EQ(client.PeerAddr(), "error");
  EXPECT_EQ(client.GetXPort(), "error");
  client.SetLocalAddr("");
  EXPECT_EQ(client.LocalAddr(), "0.0.0.0");
}

TEST_F(CustomWSocket, ABackgroundErrorAbortsTheConnectionUnlessTheHandlerKeepsIt) {
  TLoopbackServer server;
  TCustomWSocket client;
  std::string caught;
  bool keep = true;
  client.OnBgException = [&](TCustomWSocket*, const std::exception& E, bool& CanClose) {
    caught = E.what();
    CanClose = !keep;
  };
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil(loop_, [&] { return client.State() == wsConnected; }));
  loop_.PostMessage(client.Handle(), WM_TRIGGER_EXCEPTION, 0, 0);
  loop_.ProcessMessages();
  EXPECT_EQ(caught, "Test exception in WSocket");
  EXPECT_EQ(client.State(), wsConnected);
  keep = false;
  loop_.PostMessage(client.Handle(), WM_TRIGGER_EXCEPTION, 0, 0);
  loop_.ProcessMessages();
  EXPECT_EQ(client.State(), wsClosed);
}

TEST_F(CustomWSocket, AnExceptionOfTheDataHandlerOnlyEndsThatReadLoop) {
  std::string received;
  int calls = 0;
  TLoopbackServer server([&](TCustomWSocket& connection) {
    connection.OnDataAvailable = [&](TCustomWSocket* sender, uint16_t) {
      char byte = 0;
      if (sender->Receive(&byte, 1) == 1) received += byte;
      if (++calls == 1) throw EConvertError("'x' is not a valid integer value");
    };
  });
  TCustomWSocket client;
  client.OnSessionConnected = [](TCustomWSocket* sender, uint16_t) { sender->SendStr("abc"); };
  ConnectTo(client, server.Port());
  std::vector<std::string> swallowed;
  SetSwallowedErrorSink([&](const std::string& reason, const std::string& message) {
    swallowed.push_back(reason + ": " + message);
  });
  ASSERT_TRUE(PumpUntil(loop_, [&] { return calls == 1; }));
  SetSwallowedErrorSink(nullptr);
  EXPECT_EQ(swallowed, std::vector<std::string>{"handler: 'x' is not a valid integer value"});
  EXPECT_EQ(server.Connections().back()->State(), wsConnected);  // not aborted
  client.SendStr("d");                                           // the next read event reads on
  ASSERT_TRUE(PumpUntil(loop_, [&] { return received == "abcd"; }));
}

TEST_F(CustomWSocket, PausedSocketsHearNothingUntilResumed) {
  std::string received;
  TLoopbackServer server([&](TCustomWSocket& connection) {
    connection.OnDataAvailable = [&](TCustomWSocket* sender, uint16_t) {
      ReadAll(*sender, received);
    };
  });
  TCustomWSocket client;
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil(
      loop_, [&] { return client.State() == wsConnected && !server.Connections().empty(); }));
  TCustomWSocket& connection = *server.Connections().back();
  connection.Pause();
  client.SendStr("later");
  ASSERT_TRUE(PumpUntil(loop_, [&] { return connection.RcvdCount() == 5; }));
  loop_.ProcessMessages();
  EXPECT_EQ(received, "");
  connection.Resume();
  ASSERT_TRUE(PumpUntil(loop_, [&] { return received == "later"; }));
}

TEST_F(CustomWSocket, ReleasedSocketsAreDestroyedFromTheLoop) {
  bool destroyed = false;
  struct TWatched : TCustomWSocket {
    bool* flag = nullptr;
    ~TWatched() override { *flag = true; }
  };
  auto socket = std::make_unique<TWatched>();
  socket->flag = &destroyed;
  TCustomWSocket::Release(std::move(socket));
  EXPECT_FALSE(destroyed);
  loop_.ProcessMessages();
  EXPECT_TRUE(destroyed);
}

TEST_F(CustomWSocket, DestroyingAConnectedSocketClosesItWithoutEvents) {
  TLoopbackServer server;
  auto client = std::make_unique<TCustomWSocket>();
  TEventRecorder recorder(*client);
  ConnectTo(*client, server.Port());
  ASSERT_TRUE(PumpUntil(loop_, [&] { return client->State() == wsConnected; }));
  const size_t before = recorder.events.size();
  client.reset();
  EXPECT_EQ(recorder.events.size(), before);
  // The server hears the close.
  ASSERT_TRUE(PumpUntil(loop_, [&] { return server.Connections().back()->State() == wsClosed; }));
}

TEST_F(CustomWSocket, DatagramsBetweenTwoUdpSockets) {
  TCustomWSocket server;
  TEventRecorder serverEvents(server);
  std::string received;
  serverEvents.reader = [&](TCustomWSocket& socket) {
    sockaddr_in from{};
    int length = sizeof from;
    char buffer[64];
    const int count = socket.ReceiveFrom(buffer, sizeof buffer, from, length);
    if (count > 0) received.append(buffer, count);
  };
  server.SetAddr("127.0.0.1");
  server.SetPort("0");
  server.SetProto("udp");
  server.Listen();
  EXPECT_EQ(server.State(), wsConnected);
  EXPECT_EQ(serverEvents.events.back(), "SessionConnected(0)");

  TCustomWSocket client;
  client.SetAddr("127.0.0.1");
  client.SetPort(server.GetXPort());
  client.SetProto("udp");
  client.Connect();
  EXPECT_EQ(client.State(), wsConnected);
  EXPECT_EQ(client.SendStr("ping"), 4);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return received == "ping"; }));
}

TEST(TBuffer, AppendPeekConsumeAndResize) {
  TBuffer buffer(4);
  EXPECT_EQ(buffer.PeekData().second, 0);
  EXPECT_EQ(buffer.PeekData().first, nullptr);
  EXPECT_EQ(buffer.Append("abcdef", 6), 4);  // at most the free room
  EXPECT_EQ(buffer.Append("x", 1), 0);       // full
  EXPECT_EQ(buffer.Consume(1), 1);
  auto [data, count] = buffer.PeekData();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), count), "bcd");
  EXPECT_EQ(buffer.Consume(10), 3);      // no more than is unsent
  EXPECT_EQ(buffer.Append("xy", 2), 2);  // all consumed: the whole chunk is free again

  buffer.Resize(8);  // keeps what is written
  EXPECT_EQ(buffer.Capacity(), 8);
  EXPECT_EQ(buffer.Append("zzzzzzzz", 8), 6);
  std::tie(data, count) = buffer.PeekData();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), count), "xyzzzzzz");
  buffer.Resize(2);  // never below what it holds
  EXPECT_EQ(buffer.Capacity(), 8);
  EXPECT_EQ(TBuffer(0).Capacity(), 1514);
}

TEST_F(CustomWSocket, ASendThatFindsTheConnectionResetClosesAndReportsNoDataSent) {
  // The default linger (on, 0 s) resets the connection on close.
  TLoopbackServer server([](TCustomWSocket& connection) { connection.SetLingerOnOff(wsLingerOn); });
  TCustomWSocket client;
  TEventRecorder recorder(client);
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil(
      loop_, [&] { return client.State() == wsConnected && !server.Connections().empty(); }));
  server.Connections().back()->CloseConnection();
  recorder.events.clear();

  client.SendStr("too late");
  EXPECT_EQ(client.State(), wsClosed);
  for (int pass = 0; pass < 3; ++pass) loop_.ProcessMessages();
  const TEvents expected = {"ChangeState(wsConnected,wsClosed)", "SessionClosed(10054)"};
  EXPECT_EQ(recorder.events, expected);
}

TEST_F(CustomWSocket, AHandlerThatClosesAtTheEndOfTheDataGivesOneSessionClosedEachTime) {
  TLoopbackServer server([](TCustomWSocket& connection) {
    connection.OnDataAvailable = [](TCustomWSocket* sender, uint16_t) {
      std::string request;
      ReadAll(*sender, request);
      if (request.empty()) return;
      sender->SendStr("the end");
      sender->CloseDelayed();
    };
  });
  TCustomWSocket client;
  TEventRecorder recorder(client);
  client.OnSessionConnected = [](TCustomWSocket* sender, uint16_t) { sender->SendStr("go"); };
  std::string received;
  // Closes as soon as a read finds the end of the stream, as a reader of a whole reply does.
  recorder.reader = [&](TCustomWSocket& socket) {
    char buffer[64];
    const int count = socket.Receive(buffer, sizeof buffer);
    if (count > 0) received.append(buffer, count);
    if (count == 0) socket.CloseConnection();
  };
  for (int connection = 1; connection <= 2; ++connection) {
    recorder.events.clear();
    ConnectTo(client, server.Port());
    ASSERT_TRUE(PumpUntil(loop_, [&] { return client.State() == wsClosed; }))
        << "connection " << connection << ": " << ::testing::PrintToString(recorder.events);
    for (int pass = 0; pass < 3; ++pass) loop_.ProcessMessages();
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "SessionClosed(0)"), 1)
        << "connection " << connection;
    // Its one send was done before the close.
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "DataSent(0)"), 1);
  }
  EXPECT_EQ(received, "the endthe end");
}

TEST_F(CustomWSocket, ConnectAndListenReportTheirChecksAndResolutionFailures) {
  TLoopbackServer server;
  TCustomWSocket socket;
  socket.OnError = [](TCustomWSocket*) {};  // reports must not raise past it
  const std::string longName(257, 'a');
  socket.SetAddr(longName);
  socket.SetPort("80");
  socket.Connect();
  EXPECT_EQ(socket.ErrorMessage(),
            "connect: WSocketResolveHost: '" + longName + "' Invalid Hostname.");
  socket.SetAddr("127.0.0.1");
  socket.SetPort("65616");  // would wrap round to port 80
  socket.Connect();
  EXPECT_EQ(socket.ErrorMessage(), "connect: WSocketResolvePort: Invalid Port.");
  socket.SetProto(" ");
  socket.Connect();
  EXPECT_EQ(socket.ErrorMessage(), "Connect: No Protocol Specified");

  // The local port of the listening server is taken.
  socket.SetProto("tcp");
  socket.SetPort(server.Port());
  socket.SetLocalAddr("127.0.0.1");
  socket.SetLocalPort(server.Port());
  socket.Connect();
  EXPECT_EQ(socket.ErrorMessage(), "winsock.bind failed, error #10048");
  socket.CloseConnection();

  TCustomWSocket listener;
  listener.OnError = [](TCustomWSocket*) {};
  listener.SetAddr("127.0.0.1");
  listener.Listen();
  EXPECT_EQ(listener.ErrorMessage(),
            "Error 10022 in function listen: port not assigned\r\nInvalid argument");
  listener.SetPort(server.Port());
  listener.Listen();
  EXPECT_EQ(listener.ErrorMessage(), "Error 10048 in function Bind\r\nAddress already in use");
  EXPECT_EQ(listener.State(), wsClosed);
  EXPECT_EQ(listener.HSocket(), INVALID_SOCKET);
}
