#include "source_check/source_check.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <set>

#include "runtime/strings.h"
#include "tests/http/loopback_server.h"
#include "tests/http/nginx_server.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/pump.h"
#include "tests/support/server_process.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

namespace {

// An HTTP server on loopback that answers "METHOD /path" from a table (an empty reply
// closes the connection unanswered; a path not in the table gets no answer at all) and
// counts the connections it has open at once. With a batch size it holds every request
// until that many are waiting, or all that are still to come.
class TCheckServer {
 public:
  using TReplies = std::map<std::string, std::string>;
  explicit TCheckServer(TReplies replies, size_t batch = 1, size_t expected = 0)
      : replies_(std::move(replies)),
        batch_(batch),
        toCome_(expected),
        server_([this](TCustomWSocket& c) { Accepted(c); }) {}

  std::string URL(const std::string& path) const {
    return "http://127.0.0.1:" + server_.Port() + path;
  }
  size_t Peak() const { return peak_; }
  size_t Open() const { return open_.size(); }
  std::vector<std::string> requests;  // each request's header, in arrival order

 private:
  struct TWaiting {
    TCustomWSocket* connection;
    std::string request;
  };
  TReplies replies_;
  size_t batch_, toCome_;
  TLoopbackServer server_;
  std::set<TCustomWSocket*> open_;
  size_t peak_ = 0;
  std::map<TCustomWSocket*, std::string> received_;
  std::vector<TWaiting> waiting_;

  void Accepted(TCustomWSocket& connection) {
    open_.insert(&connection);
    peak_ = std::max(peak_, open_.size());
    connection.OnSessionClosed = [this](TCustomWSocket* s, uint16_t) { open_.erase(s); };
    connection.OnDataAvailable = [this](TCustomWSocket* s, uint16_t) { Receive(*s); };
  }
  void Receive(TCustomWSocket& connection) {
    char buffer[4096];
    const int count = connection.Receive(buffer, sizeof buffer);
    if (count <= 0) return;
    std::string& text = received_[&connection];
    const bool wasComplete = text.find("\r\n\r\n") != std::string::npos;
    text.append(buffer, count);
    if (wasComplete || text.find("\r\n\r\n") == std::string::npos) return;
    requests.push_back(text.substr(0, text.find("\r\n\r\n")));
    waiting_.push_back({&connection, requests.back()});
    if (waiting_.size() >= std::min(batch_, toCome_ == 0 ? batch_ : toCome_)) AnswerWaiting();
  }
  void AnswerWaiting() {
    for (const TWaiting& waiting : waiting_) {
      const size_t end = waiting.request.find(" HTTP/");
      const auto reply = replies_.find(waiting.request.substr(0, end));
      if (toCome_ > 0) --toCome_;
      if (reply == replies_.end()) continue;
      // Counted as closed before the reply goes: the client may connect again at once.
      open_.erase(waiting.connection);
      waiting.connection->SendStr(reply->second);
      waiting.connection->CloseDelayed();
    }
    waiting_.clear();
  }
};

std::string ClosedPortUrl() {
  std::string port;
  {
    TLoopbackServer gone;
    port = gone.Port();
  }
  return "http://127.0.0.1:" + port + "/chart.gif";
}

// openssl s_server with a certificate signed by nobody the client trusts.
class TSelfSignedServer {
 public:
  TSelfSignedServer() : port_(FreeLoopbackPort()) {
    const std::string key = dir_.File("key.pem"), certificate = dir_.File("cert.pem");
    made_ = RunCommand(
                "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                "-nodes -subj /CN=127.0.0.1 -days 2 -keyout '" +
                key + "' -out '" + certificate + "' 2>/dev/null")
                    .status == 0 &&
            process_.Start(
                {"/bin/sh", "-c",
                 "exec openssl s_server -quiet -www -accept 127.0.0.1:" + std::to_string(port_) +
                     " -cert '" + certificate + "' -key '" + key + "'"},
                port_);
  }
  bool Running() const { return made_; }
  std::string URL() const { return "https://127.0.0.1:" + std::to_string(port_) + "/chart.gif"; }

 private:
  TempDir dir_;
  uint16_t port_;
  TServerProcess process_{SIGTERM};
  bool made_ = false;
};

struct TRun {
  std::map<size_t, TSourceCheckResult> results;
  int finished = 0;
};

TSourceCheckOptions Direct() {
  TSourceCheckOptions options;
  options.Proxies = std::nullopt;
  options.Timeout = 20;  // a guard only: every row ends by itself
  return options;
}

void Wire(TSourceCheck& check, TRun& run) {
  check.OnResult = [&run](size_t index, const TSourceCheckResult& result) {
    EXPECT_EQ(run.results.count(index), 0u) << "reported twice: " << result.Url;
    run.results[index] = result;
  };
  check.OnFinished = [&run] { ++run.finished; };
}

const char kChart[] = "Content-Type: image/gif";
const char kBig[] = "image/gif 1728x2200";

// A GIF of that size, written by giflib.
std::string Gif(int width, int height) {
  const std::vector<uint8_t> bytes = PlainGiflibGif(width, height);
  return std::string(bytes.begin(), bytes.end());
}
const char kWhen[] = "Last-Modified: Tue, 08 Dec 2026 06:00:00 GMT";

}  // namespace

// Every kind of answer a source gives, checked in one run: the scripted server for what
// only a script can say (and as the proxy the environment names), nginx for the everyday
// rows, openssl s_server for TLS.
TEST(SourceCheck, EachRowGetsTheStatusTheServerGaveOrWhyThereWasNone) {
  TNginxServer nginx;
  ASSERT_TRUE(nginx.Running()) << nginx.Reason();
  const std::string gif = Gif(1728, 2200);
  nginx.Put("chart.gif", gif);
  TSelfSignedServer tls;
  ASSERT_TRUE(tls.Running());
  const std::string length = "Content-Length: " + std::to_string(gif.size());
  const std::string ok = HttpReply("200 OK", {kChart, length, kWhen}, gif);
  // A server that takes no Range sends the whole chart: the check stops at its first bytes.
  const std::string whole = Gif(4000, 3000) + std::string(200000, 'p');
  TCheckServer scripted({
      {"GET /ok.gif", ok},
      {"GET /missing.gif", HttpReply("404 Not Found", {"Content-Length: 0"}, "")},
      {"GET /moved.gif", HttpReply("301 Moved Permanently", {"Location: /ok.gif"}, "")},
      {"GET /elsewhere.gif", HttpReply("302 Found", {"Location: /ok.gif"}, "")},
      {"GET /gone.gif", HttpReply("308 Permanent Redirect", {"Location: /missing.gif"}, "")},
      {"GET /part.gif",
       HttpReply("206 Partial Content", {kChart, "Content-Range: bytes 0-1023/5000"},
                 Gif(10, 20).substr(0, 13))},
      {"GET /whole.gif", HttpReply("200 OK", {kChart}, whole)},
      {"GET /page.gif", HttpReply("200 OK", {"Content-Type: text/html"}, "<html>moved</html>")},
      {"GET /cut.gif", HttpReply("200 OK", {kChart, "Content-Length: 5000"}, gif.substr(0, 20))},
      {"GET /hangs-up.gif", ""},
      {"GET http://charts.example/proxied.gif", ok},
  });
  const std::string plain = "http://127.0.0.1:" + std::to_string(nginx.PlainPort());
  const int64_t size = static_cast<int64_t>(gif.size());
  const struct {
    std::string url;
    bool ok;
    int statusCode;
    std::string status;  // the start of it for failures without a reply
    std::string content;
    std::string finalUrl;
    bool moved;
    std::string contentType;
    int64_t contentLength;
  } rows[] = {
      {scripted.URL("/ok.gif"), true, 200, "200 OK", kBig, "", false, "image/gif", size},
      {scripted.URL("/missing.gif"), false, 404, "404 Not Found", "", "", false, "", 0},
      {scripted.URL("/moved.gif"), true, 200, "200 OK", kBig, scripted.URL("/ok.gif"), true,
       "image/gif", size},
      {scripted.URL("/elsewhere.gif"), true, 200, "200 OK", kBig, scripted.URL("/ok.gif"), false,
       "image/gif", size},
      {scripted.URL("/gone.gif"), false, 404, "404 Not Found", "", scripted.URL("/missing.gif"),
       true, "", 0},
      {scripted.URL("/part.gif"), true, 206, "206 Partial Content", "image/gif 10x20", "", false,
       "image/gif", 5000},
      {scripted.URL("/whole.gif"), true, 200, "200 OK", "image/gif 4000x3000", "", false,
       "image/gif", -1},
      {scripted.URL("/page.gif"), false, 200, "200 but not an image: text/html", "", "", false,
       "text/html", -1},
      {scripted.URL("/cut.gif"), false, 200, "Transfer closed with 4980 of 5000 bytes missing", "",
       "", false, "image/gif", 5000},
      {scripted.URL("/hangs-up.gif"), false, 0, "Empty reply from server", "", "", false, "", -1},
      {ClosedPortUrl(), false, 0, "Connection refused (Error #10061)", "", "", false, "", -1},
      {tls.URL(), false, 0, "certificate verify failed: self-signed certificate", "", "", false, "",
       -1},
      {plain + "/chart.gif", true, 206, "206 Partial Content", kBig, "", false, "image/gif", size},
      {plain + "/redirect/301/relative/chart.gif", true, 206, "206 Partial Content", kBig,
       plain + "/chart.gif", true, "image/gif", size},
      {plain + "/missing.gif", false, 404, "404 Not Found", "", "", false, "text/html", -2},
      {"http://charts.example/proxied.gif", true, 200, "200 OK", kBig, "", false, "image/gif",
       size},
  };
  std::vector<std::string> urls;
  for (const auto& row : rows) urls.push_back(row.url);
  // The scripted server is also the HTTP proxy of every host but this one.
  TSourceCheckOptions options = Direct();
  options.Proxies = {{"http_proxy", scripted.URL("")}, {"no_proxy", "127.0.0.1"}};
  TSourceCheck check(options);
  TRun run;
  Wire(check, run);
  check.Start(urls);
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return run.finished > 0; }));
  ASSERT_EQ(run.results.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& row = rows[i];
    const TSourceCheckResult& got = run.results[i];
    SCOPED_TRACE(row.url + ": " + got.Status);
    EXPECT_EQ(got.Url, row.url);
    EXPECT_EQ(got.Ok, row.ok);
    EXPECT_EQ(got.StatusCode, row.statusCode);
    EXPECT_TRUE(got.Status.starts_with(row.status));
    EXPECT_EQ(got.Content, row.content);
    EXPECT_EQ(got.FinalUrl, row.finalUrl);
    EXPECT_EQ(got.MovedPermanently, row.moved);
    EXPECT_EQ(got.ContentType, row.contentType);
    if (row.contentLength != -2) {
      EXPECT_EQ(got.ContentLength, row.contentLength);
    }
  }
  EXPECT_EQ(run.results[0].LastModified, "Tue, 08 Dec 2026 06:00:00 GMT");
  EXPECT_FALSE(run.results[12].LastModified.empty()) << "nginx names its file's time";
  // Every request asks for the first bytes only.
  for (const std::string& request : scripted.requests) {
    EXPECT_TRUE(request.starts_with("GET ")) << request;
    EXPECT_NE(request.find("\r\nRange: bytes=0-65535"), std::string::npos) << request;
  }
  EXPECT_EQ(run.finished, 1);
  EXPECT_EQ(check.Done(), check.Total());
}

// Ten sources on a server that holds each request until four are waiting: the check
// keeps four running and never more. Blank and repeated URLs are not asked for.
TEST(SourceCheck, NeverMoreThanFourRequestsAtOnce) {
  const size_t count = 10;
  TCheckServer::TReplies replies;
  for (size_t i = 0; i < count; ++i)
    replies["GET /chart" + std::to_string(i) + ".gif"] = HttpReply("200 OK", {kChart}, Gif(2, 2));
  TCheckServer server(replies, 4, count);
  std::vector<std::string> urls = {"", "  "};
  for (size_t i = 0; i < 2 * count; ++i)
    urls.push_back(server.URL("/chart" + std::to_string(i % count) + ".gif"));
  TSourceCheck check(Direct());
  TRun run;
  Wire(check, run);
  check.Start(urls);
  EXPECT_EQ(check.Total(), count);
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return run.finished > 0; }));
  EXPECT_EQ(server.requests.size(), count);
  EXPECT_EQ(server.Peak(), 4u);
  for (const auto& [index, result] : run.results) {
    EXPECT_EQ(result.Url, check.Urls()[index]);
    EXPECT_EQ(result.Status, "200 OK");
  }
}

// Cancelled with four requests waiting for a silent server: all six sources are reported
// cancelled at once, the connections are ended, and a new check can start straight away.
TEST(SourceCheck, ACancelEndsTheRunningRequestsAndReportsEverySourceLeft) {
  TCheckServer silent({});
  TCheckServer answering({{"GET /chart.gif", HttpReply("200 OK", {kChart}, Gif(2, 2))}});
  std::vector<std::string> urls;
  for (int i = 0; i < 6; ++i) urls.push_back(silent.URL("/chart" + std::to_string(i) + ".gif"));
  TSourceCheck check(Direct());
  TRun cancelled;
  Wire(check, cancelled);
  check.Start(urls);
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return silent.requests.size() == 4; }));
  check.Cancel();
  EXPECT_EQ(cancelled.finished, 1);
  EXPECT_FALSE(check.Running());
  EXPECT_EQ(check.Done(), 6u);
  ASSERT_EQ(cancelled.results.size(), 6u);
  for (const auto& [index, result] : cancelled.results) {
    EXPECT_EQ(result.Status, "Cancelled");
    EXPECT_EQ(result.StatusCode, 0);
    EXPECT_FALSE(result.Ok);
  }

  TRun again;
  Wire(check, again);
  check.Start({answering.URL("/chart.gif")});
  ASSERT_TRUE(
      PumpUntil(MessageLoop::Current(), [&] { return again.finished > 0 && silent.Open() == 0; }));
  ASSERT_EQ(again.results.size(), 1u);
  EXPECT_EQ(again.results[0].Status, "200 OK");
  EXPECT_EQ(cancelled.results.size(), 6u) << "the aborted requests tell nothing more";
  EXPECT_EQ(silent.requests.size(), 4u);
}
