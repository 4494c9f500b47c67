#include "runtime/message_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/pump.h"

namespace {

constexpr uint32_t kTestMessage = WM_USER + 7;
constexpr uint32_t kSocketMessage = WM_USER + 1;
constexpr int kWaitLimitMs = 10000;  // only a guard against a hang, never reached when right

bool FdReadable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, 0) == 1;
}

struct TRecordedMessage {
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
};

// A window that writes down what it receives.
class TRecordingWindow {
 public:
  explicit TRecordingWindow(MessageLoop& loop) : loop_(loop) {
    handle = loop.AllocateHWnd([this](TMessage& message) {
      received.push_back({message.Msg, message.WParam, message.LParam});
      if (onMessage) onMessage(message);
    });
  }
  ~TRecordingWindow() { loop_.DeallocateHWnd(handle); }

  std::vector<uint32_t> SocketEvents() const {
    std::vector<uint32_t> events;
    for (const auto& message : received) events.push_back(SelectEvent(message.lParam));
    return events;
  }

  TWindowHandle handle = 0;
  std::vector<TRecordedMessage> received;
  std::function<void(TMessage&)> onMessage;

 private:
  MessageLoop& loop_;
};

class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) close(fd_);
  }
  TFd(TFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

TFd Listener(uint16_t& port) {
  TFd listener(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = Loopback(0);
  EXPECT_EQ(bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(listen(listener.get(), 4), 0);
  socklen_t length = sizeof address;
  getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return listener;
}

// A non-blocking client whose connect to port is under way.
TFd StartConnect(uint16_t port) {
  TFd client(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
  sockaddr_in address = Loopback(port);
  connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
  return client;
}

// A connected loopback pair: the first is the side under test (non-blocking).
std::pair<TFd, TFd> ConnectedPair() {
  uint16_t port = 0;
  TFd listener = Listener(port);
  TFd client = StartConnect(port);
  TFd server(accept(listener.get(), nullptr, nullptr));
  pollfd entry{client.get(), POLLOUT, 0};
  poll(&entry, 1, kWaitLimitMs);
  return {std::move(client), std::move(server)};
}

void Write(int fd, const std::string& text) {
  ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

void WaitReadable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  ASSERT_EQ(poll(&entry, 1, kWaitLimitMs), 1);
}

constexpr uint32_t kClientEvents = kFdRead | kFdWrite | kFdConnect | kFdClose;

// A client socket selected for the client's events before its connect starts, as the
// socket layer does it.
TFd SelectAndConnect(MessageLoop& loop, TWindowHandle window, uint16_t port) {
  TFd client(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
  loop.AsyncSelect(client.get(), window, kSocketMessage, kClientEvents);
  sockaddr_in address = Loopback(port);
  connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
  loop.ReEnableSocketEvent(client.get(), kFdConnect);
  return client;
}

}  // namespace

TEST(MessageLoop, PostedMessagesArriveInOrderAndNothingBlocksWhenIdle) {
  MessageLoop loop;
  TRecordingWindow first(loop), second(loop);
  EXPECT_FALSE(loop.ProcessMessages());  // nothing pending: returns at once
  EXPECT_FALSE(FdReadable(loop.Fd()));

  EXPECT_TRUE(loop.PostMessage(first.handle, kTestMessage, 1, 10));
  EXPECT_TRUE(loop.PostMessage(second.handle, kTestMessage, 2, 20));
  EXPECT_TRUE(loop.PostMessage(first.handle, kTestMessage + 1, 3, 30));
  EXPECT_TRUE(FdReadable(loop.Fd()));
  std::vector<uintptr_t> order;
  first.onMessage = second.onMessage = [&](TMessage& message) { order.push_back(message.WParam); };
  loop.ProcessMessages();

  EXPECT_EQ(order, (std::vector<uintptr_t>{1, 2, 3}));
  ASSERT_EQ(first.received.size(), 2u);
  EXPECT_EQ(first.received[1].msg, kTestMessage + 1);
  EXPECT_EQ(first.received[1].lParam, 30);
  EXPECT_FALSE(FdReadable(loop.Fd()));
}

TEST(MessageLoop, MessagesPostedByAHandlerAreDispatchedInTheSamePass) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  window.onMessage = [&](TMessage& message) {
    if (message.WParam < 3) loop.PostMessage(window.handle, kTestMessage, message.WParam + 1, 0);
  };
  loop.PostMessage(window.handle, kTestMessage, 1, 0);
  loop.ProcessMessages();
  EXPECT_EQ(window.received.size(), 3u);
}

TEST(MessageLoop, ADestroyedWindowReceivesNothing) {
  MessageLoop loop;
  int doomedCalls = 0;
  const TWindowHandle doomed = loop.AllocateHWnd([&](TMessage&) { ++doomedCalls; });
  loop.PostMessage(doomed, kTestMessage, 0, 0);
  loop.DeallocateHWnd(doomed);  // with a message queued
  EXPECT_FALSE(loop.IsWindow(doomed));
  EXPECT_FALSE(loop.PostMessage(doomed, kTestMessage, 0, 0));

  // A handler destroys another window that still has a message queued behind it.
  TRecordingWindow killer(loop), victim(loop);
  killer.onMessage = [&](TMessage&) { loop.DeallocateHWnd(victim.handle); };
  loop.PostMessage(victim.handle, kTestMessage, 1, 0);
  loop.PostMessage(killer.handle, kTestMessage, 0, 0);
  loop.PostMessage(victim.handle, kTestMessage, 2, 0);
  loop.ProcessMessages();

  EXPECT_EQ(doomedCalls, 0);
  ASSERT_EQ(victim.received.size(), 1u);
  EXPECT_EQ(victim.received[0].wParam, 1u);
}

TEST(MessageLoop, AWindowMayDestroyItselfInsideItsHandler) {
  MessageLoop loop;
  int calls = 0;
  TWindowHandle self = 0;
  self = loop.AllocateHWnd([&](TMessage&) {
    ++calls;
    loop.DeallocateHWnd(self);
  });
  loop.PostMessage(self, kTestMessage, 0, 0);
  loop.PostMessage(self, kTestMessage, 0, 0);
  loop.ProcessMessages();
  EXPECT_EQ(calls, 1);
}

TEST(MessageLoop, AnExceptionOfAHandlerLeavesTheRestQueuedAndSignalled) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  window.onMessage = [](TMessage& message) {
    if (message.WParam == 1) throw std::runtime_error("handler failed");
  };
  loop.PostMessage(window.handle, kTestMessage, 1, 0);
  loop.PostMessage(window.handle, kTestMessage, 2, 0);
  EXPECT_THROW(loop.ProcessMessages(), std::runtime_error);
  EXPECT_TRUE(FdReadable(loop.Fd()));
  loop.ProcessMessages();
  EXPECT_EQ(window.received.size(), 2u);
}

TEST(MessageLoop, ReadReadinessIsDeliveredOnceUntilARecvAllowsIt) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  auto [client, server] = ConnectedPair();
  loop.AsyncSelect(client.get(), window.handle, kSocketMessage, kClientEvents);
  Write(server.get(), "abc");
  WaitReadable(client.get());

  ASSERT_TRUE(PumpUntil(loop, [&] { return !window.received.empty(); }));
  loop.ProcessMessages();
  loop.ProcessMessages();
  ASSERT_EQ(window.received.size(), 1u);  // data still waits, but no flood
  EXPECT_EQ(window.received[0].msg, kSocketMessage);
  EXPECT_EQ(window.received[0].wParam, static_cast<uintptr_t>(client.get()));
  EXPECT_EQ(SelectEvent(window.received[0].lParam), kFdRead);
  EXPECT_EQ(SelectError(window.received[0].lParam), 0u);
  EXPECT_FALSE(FdReadable(loop.Fd()));

  char byte = 0;
  ASSERT_EQ(recv(client.get(), &byte, 1, 0), 1);  // two bytes are left
  loop.ReEnableSocketEvent(client.get(), kFdRead);
  ASSERT_TRUE(PumpUntil(loop, [&] { return window.received.size() == 2; }));
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdRead, kFdRead}));
}

TEST(MessageLoop, ThePeersCloseIsReportedOnceAfterTheDataWaiting) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  auto [client, server] = ConnectedPair();
  loop.AsyncSelect(client.get(), window.handle, kSocketMessage, kClientEvents);
  Write(server.get(), "last words");
  close(server.release());

  ASSERT_TRUE(PumpUntil(loop, [&] { return window.received.size() >= 2; }));
  char buffer[64];
  EXPECT_EQ(recv(client.get(), buffer, sizeof buffer, 0), 10);
  loop.ReEnableSocketEvent(client.get(), kFdRead);
  EXPECT_EQ(recv(client.get(), buffer, sizeof buffer, 0), 0);  // the end of the stream
  loop.ReEnableSocketEvent(client.get(), kFdRead);
  loop.ProcessMessages();
  loop.ProcessMessages();
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdRead, kFdClose}));
  EXPECT_EQ(SelectError(window.received[1].lParam), 0u);
  EXPECT_FALSE(FdReadable(loop.Fd()));  // a hung-up socket does not keep the loop awake
}

TEST(MessageLoop, AResetConnectionClosesWithItsError) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  auto [client, server] = ConnectedPair();
  loop.AsyncSelect(client.get(), window.handle, kSocketMessage, kClientEvents);
  linger abort{1, 0};  // closing with a zero linger time sends a reset
  setsockopt(server.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  close(server.release());

  ASSERT_TRUE(PumpUntil(loop, [&] { return !window.received.empty(); }));
  loop.ProcessMessages();
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdClose}));
  EXPECT_EQ(SelectError(window.received[0].lParam), 10054u);
}

TEST(MessageLoop, ConnectIsReportedOnceWithItsOutcome) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  uint16_t port = 0;
  TFd listener = Listener(port);
  TFd client = SelectAndConnect(loop, window.handle, port);

  ASSERT_TRUE(PumpUntil(loop, [&] { return !window.received.empty(); }));
  loop.ProcessMessages();
  // Room to send is no news until a send has had to wait.
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdConnect}));
  EXPECT_EQ(SelectError(window.received[0].lParam), 0u);

  loop.ReEnableSocketEvent(client.get(), kFdWrite);
  ASSERT_TRUE(PumpUntil(loop, [&] { return window.received.size() == 2; }));
  loop.ProcessMessages();
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdConnect, kFdWrite}));
}

TEST(MessageLoop, ARefusedConnectReportsTheErrorAndNoClose) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  uint16_t port = 0;
  { TFd gone = Listener(port); }  // a port on which nobody listens any more
  TFd client = SelectAndConnect(loop, window.handle, port);

  ASSERT_TRUE(PumpUntil(loop, [&] { return !window.received.empty(); }));
  loop.ProcessMessages();
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdConnect}));
  EXPECT_EQ(SelectError(window.received[0].lParam), 10061u);
  EXPECT_FALSE(FdReadable(loop.Fd()));
}

TEST(MessageLoop, PendingConnectionsAreAnnouncedOnceUntilAccepted) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  uint16_t port = 0;
  TFd listener = Listener(port);
  loop.AsyncSelect(listener.get(), window.handle, kSocketMessage,
                   kFdRead | kFdWrite | kFdAccept | kFdClose);
  TFd first = StartConnect(port), second = StartConnect(port);

  ASSERT_TRUE(PumpUntil(loop, [&] { return !window.received.empty(); }));
  loop.ProcessMessages();
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdAccept}));
  TFd accepted(accept(listener.get(), nullptr, nullptr));
  loop.ReEnableSocketEvent(listener.get(), kFdAccept);
  ASSERT_TRUE(PumpUntil(loop, [&] { return window.received.size() == 2; }));
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdAccept, kFdAccept}));
}

TEST(MessageLoop, AForgottenSocketsQueuedNotificationsAreDropped) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  auto [client, server] = ConnectedPair();
  loop.AsyncSelect(client.get(), window.handle, kSocketMessage, kClientEvents);
  Write(server.get(), "x");
  WaitReadable(client.get());
  loop.PostMessage(window.handle, kTestMessage, 0, 0);
  // A handler that closes the socket before its queued read notification is dispatched.
  window.onMessage = [&](TMessage& message) {
    if (message.Msg == kTestMessage) loop.ForgetSocket(client.get());
  };
  loop.ProcessMessages();  // the read notification queues behind the test message
  ASSERT_EQ(window.received.size(), 1u);
  EXPECT_EQ(window.received[0].msg, kTestMessage);
  Write(server.get(), "y");
  loop.ProcessMessages();
  EXPECT_EQ(window.received.size(), 1u);
}

TEST(MessageLoop, PausedSocketsReportWhatWaitsWhenSelectedAgain) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  auto [client, server] = ConnectedPair();
  loop.AsyncSelect(client.get(), window.handle, kSocketMessage, kClientEvents);
  loop.AsyncSelect(client.get(), window.handle, 0, 0);
  Write(server.get(), "x");
  WaitReadable(client.get());
  loop.ProcessMessages();
  EXPECT_TRUE(window.received.empty());
  loop.AsyncSelect(client.get(), window.handle, kSocketMessage, kClientEvents);
  ASSERT_TRUE(PumpUntil(loop, [&] { return !window.received.empty(); }));
  EXPECT_EQ(window.SocketEvents(), (std::vector<uint32_t>{kFdRead}));
}

TEST(MessageLoop, AsyncRequestsAnswerWithTheirHandleUnlessCancelled) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  std::thread::id workerThread;
  const TAsyncHandle answered = loop.StartAsyncRequest(window.handle, kTestMessage, [&] {
    workerThread = std::this_thread::get_id();
    return MessageLoop::TAsyncAnswer([] { return MakeSelectReply(5, 0); });
  });
  const TAsyncHandle cancelled = loop.StartAsyncRequest(
      window.handle, kTestMessage, [] { return MessageLoop::TAsyncAnswer([] { return 1; }); });
  EXPECT_NE(answered, 0u);
  EXPECT_NE(answered, cancelled);
  EXPECT_TRUE(loop.CancelAsyncRequest(cancelled));
  EXPECT_FALSE(loop.CancelAsyncRequest(cancelled));

  ASSERT_TRUE(PumpUntil(loop, [&] { return !window.received.empty(); }));
  EXPECT_NE(workerThread, std::this_thread::get_id());
  EXPECT_EQ(window.received[0].wParam, answered);
  EXPECT_EQ(SelectEvent(window.received[0].lParam), 5u);
  EXPECT_FALSE(loop.CancelAsyncRequest(answered));  // answered already
  // The cancelled one never arrives: a third request answers behind it.
  bool last = false;
  loop.StartAsyncRequest(window.handle, kTestMessage + 1, [&] {
    return MessageLoop::TAsyncAnswer([&] {
      last = true;
      return 0;
    });
  });
  ASSERT_TRUE(PumpUntil(loop, [&] { return last; }));
  loop.ProcessMessages();
  ASSERT_EQ(window.received.size(), 2u);
  EXPECT_EQ(window.received[1].msg, kTestMessage + 1);
}

TEST(MessageLoop, AnAnswerForADestroyedWindowIsNeverRun) {
  MessageLoop loop;
  bool answerRan = false;
  const TWindowHandle gone = loop.AllocateHWnd([](TMessage&) {});
  const TAsyncHandle request = loop.StartAsyncRequest(gone, kTestMessage, [&] {
    return MessageLoop::TAsyncAnswer([&] {
      answerRan = true;  // would write into the buffer of a requester that is gone
      return 0;
    });
  });
  pollfd entry{loop.Fd(), POLLIN, 0};  // readable once the answer is queued
  ASSERT_EQ(poll(&entry, 1, kWaitLimitMs), 1);
  loop.DeallocateHWnd(gone);
  EXPECT_FALSE(loop.CancelAsyncRequest(request));  // it went with its window
  loop.ProcessMessages();
  EXPECT_FALSE(answerRan);
}

TEST(MessageLoop, AWorkersExceptionIsRaisedWhereTheAnswerIsDelivered) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  loop.StartAsyncRequest(window.handle, kTestMessage, []() -> MessageLoop::TAsyncAnswer {
    throw std::runtime_error("lookup failed");
  });
  pollfd entry{loop.Fd(), POLLIN, 0};  // readable once the answer is queued
  ASSERT_EQ(poll(&entry, 1, kWaitLimitMs), 1);
  try {
    loop.ProcessMessages();
    ADD_FAILURE() << "nothing raised";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "lookup failed");
  }
  EXPECT_TRUE(window.received.empty());
}

TEST(MessageLoop, SynchronizeRunsOnTheLoopsThreadAndWaits) {
  MessageLoop& loop = MessageLoop::Current();
  std::thread::id ranOn;
  bool returned = false, ran = false;
  std::string caught;
  std::thread worker([&] {
    ran = loop.Synchronize([&] { ranOn = std::this_thread::get_id(); });
    try {
      loop.Synchronize([] { throw std::runtime_error("painted badly"); });
    } catch (const std::runtime_error& error) {
      caught = error.what();
    }
    returned = true;
    loop.PostQuit();
  });
  loop.Run();
  worker.join();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(caught, "painted badly");
  EXPECT_TRUE(loop.Terminated());

  bool direct = false;  // on the loop's own thread it runs at once
  EXPECT_TRUE(loop.Synchronize([&] { direct = true; }));
  EXPECT_TRUE(direct);
}

TEST(MessageLoop, AHandOverStillQueuedWhenTheLoopEndsIsReleasedUnrun) {
  bool result = true, ran = false;
  std::thread worker;
  {
    MessageLoop loop;
    worker = std::thread([&] { result = loop.Synchronize([&] { ran = true; }); });
    // The loop's descriptor turns readable once the hand-over is queued.
    pollfd entry{loop.Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&entry, 1, kWaitLimitMs), 1);
  }
  worker.join();
  EXPECT_FALSE(ran);
  EXPECT_FALSE(result);
}

TEST(MessageLoop, TimersRepeatUntilKilledAndDoNotPileUp) {
  MessageLoop loop;
  TRecordingWindow window(loop);
  ASSERT_TRUE(loop.SetTimer(window.handle, 42, kTestMessage, 1));
  ASSERT_TRUE(PumpUntil(loop, [&] { return window.received.size() >= 2; }));
  EXPECT_EQ(window.received[0].wParam, 42u);
  loop.KillTimer(window.handle, 42);
  const size_t seen = window.received.size();
  loop.ProcessMessages();
  EXPECT_EQ(window.received.size(), seen);
  EXPECT_FALSE(loop.SetTimer(12345, 1, kTestMessage, 1));  // no such window
}

TEST(MessageLoop, QuitIsTakenFromTheQueueAndTheApplicationPumpIsUsed) {
  MessageLoop loop;
  int pumped = 0;
  loop.PumpApplication();  // without a pump: the loop itself
  loop.SetApplicationPump([&] {
    ++pumped;
    loop.ProcessMessages();
  });
  loop.PostQuit();
  EXPECT_FALSE(loop.Terminated());
  loop.PumpApplication();
  EXPECT_EQ(pumped, 1);
  EXPECT_TRUE(loop.Terminated());
}
