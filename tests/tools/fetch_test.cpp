// isoview-fetch run as a program against a server on a thread of this test.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/support/danted_server.h"
#include "tests/support/http_file_server.h"
#include "tests/support/shell_command.h"
#include "tests/support/squid_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace {

TCommandResult Fetch(const std::string& arguments) {
  return RunTool("isoview-fetch", arguments);
}

// A socket listening on a port of 127.0.0.1 that the system chose.
int LoopbackListener(uint16_t& port) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 1);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return listener;
}

// Answers one connection with reply after reading its request header, then closes.
class TOneShotServer {
 public:
  explicit TOneShotServer(std::string reply)
      : reply_(std::move(reply)), listener_(LoopbackListener(port_)) {
    // A guard, so that a tool that never connects fails the test instead of hanging it.
    const timeval guard{30, 0};
    setsockopt(listener_, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TOneShotServer() {
    thread_.join();
    close(listener_);
  }
  std::string URL(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  void Serve() {
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = read(connection, buffer, sizeof buffer);
      if (n <= 0) break;
      request.append(buffer, n);
    }
    // A client that stops reading early (at its body limit) must not end the test process.
    (void)!send(connection, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    close(connection);
  }

  std::string reply_;
  uint16_t port_ = 0;
  int listener_ = -1;
  std::thread thread_;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(FetchTool, FetchesIntoTheFileAndPrintsWhatTheRequestGave) {
  TempDir dir;
  const std::string file = dir.Path() + "/img.gif";
  TOneShotServer server(
      "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 6\r\n\r\n"
      "GIF89a");
  const TCommandResult result = Fetch("--timeout 30 " + server.URL("/dir/img.gif") + " " + file);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output,
            "StatusCode: 200\nReasonPhrase: OK\nContentLength: 6\n"
            "ContentType: image/gif\nRcvdBytes: 6\nError: 0\nLocation: " +
                server.URL("/dir/img.gif") + "\n");
  EXPECT_EQ(Read(file), "GIF89a");
}

TEST(FetchTool, AFailedRequestEndsWithOneAndBadUsageExitsWithTwo) {
  TempDir dir;
  const std::string file = dir.Path() + "/x.gif";
  {
    std::ofstream old(file);
    old << "old content";
  }
  // Port 1 on loopback: nothing listens there.
  const TCommandResult refused = Fetch("http://127.0.0.1:1/x.gif " + file);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("StatusCode: 404\nReasonPhrase: Connection refused (Error #10061)"),
            std::string::npos)
      << refused.output;
  EXPECT_NE(refused.output.find("Error: 10061\n"), std::string::npos);
  EXPECT_EQ(Read(file), "");  // truncated before the request

  EXPECT_EQ(Fetch("").status, 2);
  EXPECT_EQ(Fetch("--timeout x http://h/ " + file).status, 2);
  EXPECT_EQ(Fetch("http://h/ " + dir.Path() + "/no/such/folder/f").status, 1);
}

// The tool trusts what the program trusts: the system's authorities and SSL_CERT_FILE.
TEST(FetchTool, FetchesHttpsAndSaysWhyAnUntrustedServerIsRefused) {
  TempDir dir;
  TTestCa ca(dir, "tool");
  THttpFileServer server(ca.Issue("server", {"localhost"}));
  server.Serve("/img.gif", "GIF89a over TLS");
  const std::string file = dir.File("img.gif");
  const std::string url = server.Url("/img.gif");

  const TCommandResult untrusted = Fetch(url + " " + file);
  EXPECT_EQ(untrusted.status, 1);
  EXPECT_NE(untrusted.output.find("StatusCode: 404\nReasonPhrase: certificate verify failed: "
                                  "unable to get local issuer certificate\n"),
            std::string::npos)
      << untrusted.output;

  setenv("SSL_CERT_FILE", ca.CertificateFile().c_str(), 1);
  const TCommandResult trusted = Fetch(url + " " + file);
  unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(trusted.status, 0);
  EXPECT_NE(trusted.output.find("StatusCode: 200\n"), std::string::npos) << trusted.output;
  EXPECT_EQ(Read(file), "GIF89a over TLS");
}

// The options set the client up as the program would fetch a source; every path is
// proven by what the proxy, the SOCKS server or the origin received.
TEST(FetchTool, OptionsTakeTheRequestThroughProxiesAndTrustAnAuthority) {
  TempDir dir;
  THttpFileServer origin;
  origin.Serve("/chart.gif", "GIF89a");
  origin.Serve("/gone.gif", "", 404);
  TTestCa ca(dir, "tool");
  THttpFileServer secure(ca.Issue("server", {"localhost"}));
  secure.Serve("/chart.gif", "GIF89a over TLS");
  TSquidServer open(TSquidAuthentication::None), guarded(TSquidAuthentication::Basic);
  TDantedServer danted(TDantedMethod::None);
  for (const auto* server : {&open, &guarded}) ASSERT_TRUE(server->Running()) << server->Reason();
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  const std::string squid = "--proxy 127.0.0.1:" + std::to_string(open.Port());
  const std::string guard = "--proxy 127.0.0.1:" + std::to_string(guarded.Port());
  const std::string socks = "--socks 127.0.0.1:" + danted.Port();
  const std::string proxyUser =
      std::string("--proxy-user ") + TSquidServer::User() + ":" + TSquidServer::Password();

  struct TCase {
    std::string options, url;
    int exit;
    const char* status;
  };
  const TCase cases[] = {
      {squid, origin.Url("/chart.gif"), 0, "200"},
      {guard, origin.Url("/chart.gif"), 1, "407"},
      {guard + " " + proxyUser, origin.Url("/chart.gif"), 0, "200"},
      {socks + " --socks-level 4", origin.Url("/chart.gif"), 0, "200"},
      {socks + " --socks-level 5", origin.Url("/chart.gif"), 0, "200"},
      {"--cacert " + ca.CertificateFile(), secure.Url("/chart.gif"), 0, "200"},
      {"", secure.Url("/chart.gif"), 1, "404"},  // an authority nobody trusts
      {"", origin.Url("/gone.gif"), 1, "404"},   // the server's refusal is a failure too
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.options + " " + c.url);
    const TCommandResult result = Fetch(c.options + " " + c.url + " " + dir.File("out"));
    EXPECT_EQ(result.status, c.exit) << result.output;
    EXPECT_TRUE(result.output.starts_with("StatusCode: " + std::string(c.status) + "\n"))
        << result.output;
  }
  EXPECT_EQ(open.NextRecords(1).size(), 1u);
  const auto guardedRecords = guarded.NextRecords(2);
  ASSERT_EQ(guardedRecords.size(), 2u);
  EXPECT_EQ(guardedRecords[0].User, "-");
  EXPECT_EQ(guardedRecords[1].User, TSquidServer::User());
  EXPECT_EQ(danted.Relayed(origin.Port()), 2) << danted.Log();  // SOCKS 4 and 5
  EXPECT_EQ(origin.Requests("/chart.gif"), 4);
}

// The proxy variables of this process (which the tool inherits) while it lives.
class TProxyVariables {
 public:
  explicit TProxyVariables(const std::map<std::string, std::string>& values) {
    Clear();
    for (const auto& [name, value] : values) ::setenv(name.c_str(), value.c_str(), 1);
  }
  ~TProxyVariables() { Clear(); }

 private:
  static void Clear() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"})
      ::unsetenv(name);
  }
};

TEST(FetchTool, ProxiesComeFromTheEnvironmentUnlessTheOptionsSayOtherwise) {
  TempDir dir;
  THttpFileServer origin;
  origin.Serve("/chart.gif", "GIF89a");
  TSquidServer squid(TSquidAuthentication::None);
  TDantedServer danted(TDantedMethod::None);
  ASSERT_TRUE(squid.Running()) << squid.Reason();
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  const std::string proxy = "127.0.0.1:" + std::to_string(squid.Port());
  // Nothing listens there: a request that went to it would fail.
  const std::string dead = "127.0.0.1:1";
  struct TCase {
    std::map<std::string, std::string> environment;
    std::string options;
    const char* status;
    int proxied, socksed;  // requests through squid, connections through danted
  };
  const TCase cases[] = {
      {{{"http_proxy", proxy}}, "", "200", 1, 0},
      {{{"HTTP_PROXY", "http://" + dead}, {"no_proxy", "127.0.0.1"}}, "", "200", 0, 0},
      {{{"http_proxy", proxy}, {"NO_PROXY", "127.0.0.1"}}, "--noproxy ''", "200", 1, 0},
      {{{"http_proxy", dead}}, "--noproxy localhost,127.0.0.1", "200", 0, 0},
      {{{"http_proxy", dead}}, "--proxy " + proxy, "200", 1, 0},
      {{{"http_proxy", dead}}, "--proxy " + dead + " --noproxy 127.0.0.0/8", "200", 0, 0},
      {{{"all_proxy", "socks5h://127.0.0.1:" + danted.Port()}}, "", "200", 0, 1},
      {{{"http_proxy", dead}},
       "--socks 127.0.0.1:" + danted.Port() + " --socks-level 5h",
       "200",
       0,
       1},
      {{{"http_proxy", "ftp://" + proxy}}, "", "404", 0, 0},
  };
  int proxied = 0, socksed = 0, fetched = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.options + " " + c.environment.begin()->first);
    TProxyVariables variables(c.environment);
    const TCommandResult result =
        Fetch(c.options + " " + origin.Url("/chart.gif") + " " + dir.File("out"));
    EXPECT_TRUE(result.output.starts_with("StatusCode: " + std::string(c.status) + "\n"))
        << result.output;
    proxied += c.proxied;
    socksed += c.socksed;
    if (std::string(c.status) == "200") ++fetched;
    EXPECT_EQ(squid.NextRecords(c.proxied).size(), static_cast<size_t>(c.proxied));
    EXPECT_EQ(danted.Relayed(origin.Port()), socksed) << danted.Log();
  }
  EXPECT_EQ(origin.Requests("/chart.gif"), fetched);
}

TEST(FetchTool, HelpListsEveryOptionAndAWrongCommandLineExitsWithTwo) {
  const TCommandResult help = Fetch("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option :
       {"--timeout SECONDS", "--max-time SECONDS", "--max-filesize BYTES", "--proxy HOST:PORT",
        "--proxy-user USER:PASS", "--socks HOST:PORT", "--socks-level 4|4A|5|5h",
        "--socks-user USER:PASS", "--noproxy LIST", "--cacert FILE", "--help"})
    EXPECT_NE(help.output.find(option), std::string::npos) << option;

  for (const char* wrong :
       {"", "http://h/", "--timeout x http://h/ f", "--timeout -1 http://h/ f",
        "--max-time 1s http://h/ f", "--max-filesize -5 http://h/ f",
        "--max-filesize 1e6 http://h/ f", "--proxy host http://h/ f", "--proxy host:0 http://h/ f",
        "--proxy host:65536 http://h/ f", "--proxy :80 http://h/ f", "--socks-level 6 http://h/ f",
        "--socks-user :pw http://h/ f", "--frobnicate http://h/ f", "http://h/ f --cacert"}) {
    SCOPED_TRACE(wrong);
    EXPECT_EQ(Fetch(wrong).status, 2);
  }
}

// A listener that never accepts: the connect is made, and no reply ever comes.
class TSilentServer {
 public:
  TSilentServer() : listener_(LoopbackListener(port_)) {}
  ~TSilentServer() { close(listener_); }
  std::string URL() const { return "http://127.0.0.1:" + std::to_string(port_) + "/chart.gif"; }

 private:
  uint16_t port_ = 0;
  int listener_ = -1;
};

TEST(FetchTool, MaxTimeAndMaxFilesizeEndARequestThatWouldNotEnd) {
  TempDir dir;
  TSilentServer silent;
  const TCommandResult late = Fetch("--max-time 1 " + silent.URL() + " " + dir.File("late"));
  EXPECT_EQ(late.status, 1);
  EXPECT_NE(late.output.find("ReasonPhrase: Transfer took longer than 1 s\n"), std::string::npos)
      << late.output;
  EXPECT_NE(late.output.find("Error: 20039\n"), std::string::npos);

  TOneShotServer server("HTTP/1.0 200 OK\r\n\r\n" + std::string(3000000, 'b'));
  const TCommandResult large =
      Fetch("--max-filesize 1000000 " + server.URL("/big.bin") + " " + dir.File("big"));
  EXPECT_EQ(large.status, 1);
  EXPECT_NE(large.output.find("ReasonPhrase: Body larger than 1000000 bytes\n"), std::string::npos)
      << large.output;
  EXPECT_NE(large.output.find("Error: 20040\n"), std::string::npos);
  EXPECT_LE(Read(dir.File("big")).size(), 1000000u);
}

// CR LF in the URL would add a header line of the caller's to the request.
TEST(FetchTool, AUrlWithAControlCharacterIsRefusedBeforeAnythingIsSent) {
  TempDir dir;
  TSilentServer silent;
  const std::string url = silent.URL() + "$(printf '\\r\\nX-Injected: 1')";
  const TCommandResult result = Fetch("\"" + url + "\" " + dir.File("x"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("ReasonPhrase: URL holds a control character\n"), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("Error: 20042\n"), std::string::npos);
}

TEST(FetchTool, ShowsTheUrlWithoutItsPassword) {
  TempDir dir;
  TOneShotServer server("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
  const std::string url = server.URL("/x.gif");
  const TCommandResult result =
      Fetch(url.substr(0, 7) + "chart:pa55word@" + url.substr(7) + " " + dir.File("x.gif"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output.find("pa55word"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("Location: http://chart@127.0.0.1:"), std::string::npos)
      << result.output;
}

TEST(FetchTool, SocksUserAndPasswordGoToTheSocksServer) {
  TDantedServer danted(TDantedMethod::Username);
  ASSERT_TRUE(danted.Running()) << danted.Reason();
  TSystemUser user;
  if (!user.Made()) GTEST_SKIP() << user.Reason();
  TempDir dir;
  THttpFileServer origin;
  origin.Serve("/chart.gif", "GIF89a");
  const std::string socks = "--socks 127.0.0.1:" + danted.Port() + " --socks-user " + user.Name();
  const std::string url = origin.Url("/chart.gif") + " " + dir.File("out");
  EXPECT_EQ(Fetch(socks + ":" + user.Password() + " " + url).status, 0);
  const TCommandResult refused = Fetch(socks + ":wrong " + url);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("Error: 20015\n"), std::string::npos) << refused.output;
  EXPECT_EQ(danted.Relayed(origin.Port()), 1) << danted.Log();
}
