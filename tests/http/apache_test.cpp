// The client against Apache httpd on loopback, on a port other than 80; what httpd
// received is read from its access log.

#include <gtest/gtest.h>

#include <random>

#include "http/http_cli.h"
#include "tests/http/apache_server.h"

namespace {

std::string Bytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

class Apache : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = std::make_unique<TApacheServer>(); }
  static void TearDownTestSuite() { server.reset(); }
  void SetUp() override {
    ASSERT_TRUE(server->Running()) << server->Reason();
    client.RcvdStream = &body;
  }

  void Get(const std::string& path) {
    body.Clear();
    client.URL = Url(path);
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
      {"/files/large.bin", Bytes(2 * 1024 * 1024 + 1, 4)},
  };
  for (const auto& [path, bytes] : files) {
    SCOPED_TRACE(path);
    server->Put(path, bytes);
    Get(path);
    EXPECT_EQ(client.StatusCode(), 200) << client.ReasonPhrase();
    EXPECT_EQ(client.RcvdBytes(), static_cast<int64_t>(bytes.size()));
    EXPECT_TRUE(Body() == bytes);
    const auto records = server->NextRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Request, "GET " + std::string(path) + " HTTP/1.0");
    EXPECT_EQ(records[0].Status, "200");
  }
}

}  // namespace
