// GetASync and HeadASync: several clients on one message loop, and Abort of a request that
// was started without waiting.

#include <gtest/gtest.h>

#include "http/http_cli.h"
#include "runtime/winsock_errors.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/pump.h"

namespace {

struct TAsyncClient {
  THttpCli client;
  TMemoryStream body;
  std::vector<uint16_t> done;
  TAsyncClient() {
    client.RcvdStream = &body;
    client.OnRequestDone = [this](THttpCli*, THttpRequest, uint16_t error) {
      done.push_back(error);
    };
  }
  std::string Body() const { return std::string(body.Bytes().begin(), body.Bytes().end()); }
};

}  // namespace

// Both requests are out before either has ended; that they truly overlap, four at a time,
// the source check's tests show with a server that holds its replies.
TEST(AsyncRequests, TwoClientsRunAtOnceOnOneLoop) {
  TScriptedHttpServer server({{HttpReply("200 OK", {"Content-Length: 3"}, "GIF")}});
  TAsyncClient first, second;
  first.client.URL = server.URL("/first.gif");
  second.client.URL = server.URL("/second.gif");
  first.client.GetASync();
  second.client.HeadASync();
  EXPECT_NE(first.client.State(), hsReady);
  EXPECT_NE(second.client.State(), hsReady);
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(),
                        [&] { return first.done.size() + second.done.size() == 2; }));
  EXPECT_EQ(first.done, std::vector<uint16_t>{0});
  EXPECT_EQ(second.done, std::vector<uint16_t>{0});
  EXPECT_EQ(first.Body(), "GIF");
  EXPECT_EQ(second.client.RqType(), rqHead);
}

// Aborted in each stage a request passes through before its reply: the end is told once,
// as a failure, and the client takes the next request.
TEST(AsyncRequests, AnAbortEndsARunningRequestOnceAsAFailure) {
  TScriptedHttpServer silent({{"", true, false}});
  TScriptedHttpServer answering({{HttpReply("200 OK", {"Content-Length: 3"}, "GIF")}});
  const std::function<bool(THttpCli&)> stages[] = {
      [](THttpCli&) { return true; },  // at once: the lookup is running
      [](THttpCli& c) { return c.State() == hsWaitingHeader; },
  };
  for (const auto& reached : stages) {
    TAsyncClient async;
    async.client.URL = silent.URL("/chart.gif");
    async.client.GetASync();
    ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return reached(async.client); }));
    async.client.Abort();
    async.client.Abort();  // a second abort of the ended request changes nothing
    ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return !async.done.empty(); }));
    MessageLoop::Current().ProcessMessages();
    EXPECT_EQ(async.done, std::vector<uint16_t>{WSAECONNABORTED});
    EXPECT_EQ(async.client.StatusCode(), 404);
    EXPECT_EQ(async.client.ReasonPhrase(), "Connection aborted (Error #10053)");

    async.client.URL = answering.URL("/chart.gif");
    async.client.Get();
    EXPECT_EQ(async.client.StatusCode(), 200);
    EXPECT_EQ(async.Body(), "GIF");
  }
}
