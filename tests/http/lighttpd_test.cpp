// The client against lighttpd on loopback: files arrive byte for byte, every redirect code
// with a relative and an absolute Location lands, a Location with "..", a query or a
// blank is resolved and encoded as RFC 3986 says, and a file whose name holds a blank and
// UTF-8 is asked for encoded; what lighttpd received is read from its access log.

#include <gtest/gtest.h>

#include <memory>

#include "http/http_cli.h"
#include "tests/http/lighttpd_server.h"
#include "tests/support/random_bytes.h"

namespace {

class Lighttpd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = std::make_unique<TLighttpdServer>(); }
  static void TearDownTestSuite() { server.reset(); }
  void SetUp() override {
    ASSERT_TRUE(server->Running()) << server->Reason();
    client.RcvdStream = &body;
    client.OnRequestDone = [this](THttpCli*, THttpRequest, uint16_t error) {
      done.push_back(error);
    };
  }

  void Get(const std::string& url) {
    body.Clear();
    done.clear();
    client.URL = url;
    client.Get();
  }
  std::string Body() const { return std::string(body.Bytes().begin(), body.Bytes().end()); }
  // The request lines lighttpd logged since the last call, once count have come.
  std::vector<std::string> Received(size_t count) {
    std::vector<std::string> lines;
    for (const TRequestRecord& record : server->NextRecords(count)) lines.push_back(record.Request);
    return lines;
  }

  static std::unique_ptr<TLighttpdServer> server;
  THttpCli client;
  TMemoryStream body;
  std::vector<uint16_t> done;
};

std::unique_ptr<TLighttpdServer> Lighttpd::server;

}  // namespace

TEST_F(Lighttpd, FilesArriveByteForByteAndEndAtTheirLength) {
  const std::pair<const char*, std::string> files[] = {
      {"/files/empty.gif", ""},
      {"/files/chart.gif", "GIF89a"},
      {"/files/read-size.bin", RandomBytes(THttpCli::kBodyReadSize + 1, 5)},
      {"/files/large.bin", RandomBytes(3 * 1024 * 1024 + 7, 6)},
  };
  for (const auto& [path, bytes] : files) {
    SCOPED_TRACE(path);
    server->Put(path, bytes);
    Get(server->Url(path));
    EXPECT_EQ(done, std::vector<uint16_t>{0}) << client.ReasonPhrase();
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.ContentLength(), static_cast<int64_t>(bytes.size()));
    EXPECT_TRUE(Body() == bytes);
    EXPECT_EQ(Received(1), std::vector<std::string>{"GET " + std::string(path) + " HTTP/1.0"});
  }
}

TEST_F(Lighttpd, LocationsAreFollowedResolvedAndEncoded) {
  server->Put("/files/target.gif", "target");
  server->Put("/files/moved with a blank.gif", "blank");
  server->Put("/files/my chart \xC3\xA9.gif", "utf-8");
  server->Put("/query/files/target.gif", "target");
  struct TCase {
    std::string path;
    std::string body;
    std::vector<std::string> received;  // the request targets
  };
  std::vector<TCase> cases;
  for (const char* code : {"301", "302", "303", "307", "308"}) {
    for (const char* kind : {"relative", "absolute"}) {
      const std::string path = std::string("/redirect/") + code + "/" + kind + "/files/target.gif";
      cases.push_back({path, "target", {path, "/files/target.gif"}});
    }
  }
  cases.push_back(
      {"/deep/down/target.gif", "target", {"/deep/down/target.gif", "/files/target.gif"}});
  cases.push_back({"/query/files/target.gif",
                   "target",
                   {"/query/files/target.gif", "/query/files/target.gif?v=2"}});
  cases.push_back({"/blank/files/moved",
                   "blank",
                   {"/blank/files/moved", "/files/moved%20with%20a%20blank.gif"}});
  cases.push_back({"/files/my chart \xC3\xA9.gif", "utf-8", {"/files/my%20chart%20%C3%A9.gif"}});
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.path);
    Get(server->Url(c.path));
    EXPECT_EQ(done, std::vector<uint16_t>{0}) << client.ReasonPhrase();
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(Body(), c.body);
    std::vector<std::string> expected;
    for (const std::string& target : c.received) expected.push_back("GET " + target + " HTTP/1.0");
    EXPECT_EQ(Received(expected.size()), expected);
  }
}
