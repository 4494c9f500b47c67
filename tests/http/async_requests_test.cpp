// GetASync and HeadASync: several clients on one message loop, and Abort of a request that
// was started without waiting.

#include <gtest/gtest.h>

#include <memory>

#include "http/http_cli.h"
#include "runtime/winsock_errors.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/pump.h"

namespace {

// Answers no connection before `expected` requests are in, then each with a body naming its
// path: a client that waited for its own reply before the other started would never end.
class TGatheringServer {
 public:
  explicit TGatheringServer(size_t expected)
      : expected_(expected), server_([this](TCustomWSocket& c) { Accepted(c); }) {}
  std::string URL(const std::string& path) const {
    return "http://127.0.0.1:" + server_.Port() + path;
  }

 private:
  size_t expected_;
  TLoopbackServer server_;
  std::vector<std::pair<TCustomWSocket*, std::string>> requests_;

  void Accepted(TCustomWSocket& connection) {
    const size_t index = requests_.size();
    requests_.emplace_back(&connection, "");
    connection.OnDataAvailable = [this, index](TCustomWSocket* sender, uint16_t) {
      char buffer[4096];
      const int count = sender->Receive(buffer, sizeof buffer);
      if (count > 0) requests_[index].second.append(buffer, count);
      if (requests_[index].second.find("\r\n\r\n") != std::string::npos) AnswerWhenAllIn();
    };
  }
  void AnswerWhenAllIn() {
    size_t complete = 0;
    for (const auto& request : requests_)
      complete += request.second.find("\r\n\r\n") != std::string::npos;
    if (complete != expected_ || answered_) return;
    answered_ = true;
    for (auto& [connection, text] : requests_) {
      const size_t begin = text.find(' ') + 1;
      const std::string path = text.substr(begin, text.find(' ', begin) - begin);
      const std::string body = text.starts_with("HEAD ") ? "" : path;
      connection->SendStr(
          HttpReply("200 OK", {"Content-Length: " + std::to_string(path.size())}, body));
      connection->CloseDelayed();
    }
  }
  bool answered_ = false;
};

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

TEST(AsyncRequests, TwoClientsRunAtOnceOnOneLoop) {
  TGatheringServer server(2);
  TAsyncClient first, second;
  first.client.URL = server.URL("/first.gif");
  second.client.URL = server.URL("/second.gif");
  first.client.GetASync();
  second.client.HeadASync();
  EXPECT_NE(first.client.State(), hsReady);
  EXPECT_TRUE(first.done.empty());
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(),
                        [&] { return first.done.size() + second.done.size() == 2; }));
  EXPECT_EQ(first.done, std::vector<uint16_t>{0});
  EXPECT_EQ(second.done, std::vector<uint16_t>{0});
  EXPECT_EQ(first.Body(), "/first.gif");
  EXPECT_EQ(second.Body(), "");
  EXPECT_EQ(second.client.ContentLength(), 11);
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
