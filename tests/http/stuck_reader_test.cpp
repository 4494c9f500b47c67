// Readers that consume nothing must never hold the thread: every case runs in a child
// process under an alarm, so that a spinning read loop fails the test instead of hanging it.
#include <unistd.h>

#include <gtest/gtest.h>

#include "http/http_cli.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/pump.h"

namespace {

// Far longer than a passing case takes; only a spinning loop reaches it.
constexpr unsigned kAlarmSeconds = 10;

// Runs body in a child process; the child's exit code is body's result.
void ExpectInChild(const std::function<bool()>& body) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        alarm(kAlarmSeconds);
        std::_Exit(body() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace

TEST(StuckReader, AHandlerThatReadsNothingLetsTheLoopServeOtherMessages) {
  ExpectInChild([] {
    MessageLoop& loop = MessageLoop::Current();
    bool posted = false;
    std::string received;
    const TWindowHandle window = loop.AllocateHWnd([&](TMessage&) { posted = true; });
    TLoopbackServer server([&](TCustomWSocket& connection) {
      connection.OnDataAvailable = [&](TCustomWSocket* sender, uint16_t) {
        if (!posted) {
          loop.PostMessage(window, WM_USER, 0, 0);
          sender->Receive(nullptr, 0);  // takes nothing: the bytes stay waiting
          return;
        }
        char buffer[64];
        const int count = sender->Receive(buffer, sizeof buffer);
        if (count > 0) received.append(buffer, count);
      };
    });
    TCustomWSocket client;
    client.OnSessionConnected = [](TCustomWSocket* sender, uint16_t) { sender->SendStr("abc"); };
    client.SetAddr("127.0.0.1");
    client.SetPort(server.Port());
    client.SetProto("tcp");
    client.Connect();
    return PumpUntil(loop, [&] { return received == "abc"; });
  });
}

TEST(StuckReader, BytesBehindAReplyThatHasEndedAreDroppedWithTheConnection) {
  ExpectInChild([] {
    // More than a header line can hold follows a reply that ends at its blank line; the
    // server keeps the connection open.
    TScriptedHttpServer server(
        {{HttpReply("200 OK", {"Content-Length: 0"}, std::string(20000, 'x')), false}});
    THttpCli client;
    TMemoryStream body;
    client.RcvdStream = &body;
    client.URL = server.URL("/empty");
    client.Get();
    const bool closed =
        PumpUntil(MessageLoop::Current(), [&] { return client.CtrlSocket().State() == wsClosed; });
    return closed && client.StatusCode() == 200 && body.Size() == 0 && client.RcvdBytes() == 0;
  });
}
