// The client against Apache httpd on loopback, on a port other than 80; what httpd
// received is read from its access log.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "http/http_cli.h"
#include "tests/http/apache_server.h"
#include "tests/support/random_bytes.h"

namespace {

class Apache : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = std::make_unique<TApacheServer>(); }
  static void TearDownTestSuite() { server.reset(); }
  void SetUp() override {
    ASSERT_TRUE(server->Running()) << server->Reason();
    client.RcvdStream = &body;
  }

  void Get(const std::string& url) {
    body.Clear();
    client.URL = url;
    client.Get();
  }
  static std::string Url(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(server->Port()) + path;
  }
  std::string Body() const { return std::string(body.Bytes().begin(), body.Bytes().end()); }

  static std::unique_ptr<TApacheServer> server;
  THttpCli client;
  TMemoryStream body;
};

std::unique_ptr<TApacheServer> Apache::server;

TEST_F(Apache, GoodFilesArriveByteForByte) {
  const std::pair<const char*, std::string> files[] = {
      {"/files/empty.gif", ""},
      {"/files/chart.gif", "GIF89a"},
      {"/files/large.bin", RandomBytes(2 * 1024 * 1024 + 1, 4)},
  };
  for (const auto& [path, bytes] : files) {
    SCOPED_TRACE(path);
    server->Put(path, bytes);
    Get(Url(path));
    EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
    EXPECT_EQ(client.RcvdBytes(), static_cast<int64_t>(bytes.size()));
    EXPECT_TRUE(Body() == bytes);
    const auto records = server->NextRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Request, "GET " + std::string(path) + " HTTP/1.0");
    EXPECT_EQ(records[0].Status, "200");
  }
}

// httpd builds these Locations from the Host header, so they come back to its own port
// only when the header names it; it refuses a request target with a fragment or without
// its leading slash.
TEST_F(Apache, RedirectsBuiltFromTheHostHeaderComeBackToItsPortAndTargetsAreWellFormed) {
  server->Put("/files/target.gif", "GIF89a target");
  server->Put("/folder/index.html", "<p>the folder</p>");
  server->Put("/index.html", "<p>the site</p>");
  const std::string port = std::to_string(server->Port());
  struct TCase {
    std::string url;
    std::vector<std::string> requests;  // the request targets httpd received
    std::string body;
    std::string location;  // after the redirect; empty when there was none
  };
  const TCase cases[] = {
      {Url("/moved/files/target.gif"),
       {"/moved/files/target.gif", "/files/target.gif"},
       "GIF89a target",
       Url("/files/target.gif")},  // mod_rewrite
      {Url("/alias/files/target.gif"),
       {"/alias/files/target.gif", "/files/target.gif"},
       "GIF89a target",
       Url("/files/target.gif")},                                                       // mod_alias
      {Url("/folder"), {"/folder", "/folder/"}, "<p>the folder</p>", Url("/folder/")},  // mod_dir
      {Url("/files/target.gif#legend"), {"/files/target.gif"}, "GIF89a target", ""},
      {"http://127.0.0.1:" + port + "?x=1", {"/?x=1"}, "<p>the site</p>", ""},
      {"HTTP://127.0.0.1:" + port + "/files/target.gif",
       {"/files/target.gif"},
       "GIF89a target",
       ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.url);
    Get(c.url);
    EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
    EXPECT_EQ(Body(), c.body);
    if (!c.location.empty()) {
      EXPECT_EQ(client.Location(), c.location);
    }
    // httpd logs a request as it ends: a redirect's line may come after its target's.
    std::vector<std::string> received, expected;
    for (const TRequestRecord& record : server->NextRecords(c.requests.size())) {
      received.push_back(record.Request);
      EXPECT_EQ(record.Host, "127.0.0.1:" + port);
    }
    for (const std::string& target : c.requests) expected.push_back("GET " + target + " HTTP/1.0");
    std::sort(received.begin(), received.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(received, expected);
  }
}

}  // namespace
