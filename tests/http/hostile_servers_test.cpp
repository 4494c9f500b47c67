// THttpCli against servers that are not ordinary: one misbehaviour per request target of
// one scripted server, and a row for each, checking what the client reported, what it
// stored and what the server received. Bounded memory and time, where a reply ends, which
// Locations are followed and how, silent addresses and a SOCKS 5 server with an IPv6 side.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "http/http_cli.h"
#include "runtime/winsock_errors.h"
#include "tests/http/address_doubles.h"
#include "tests/http/misbehaving_server.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr char kHost[] = "charts.test";
constexpr int64_t kMiB = 1024 * 1024;
// Short, so that a client that would wait for the server fails the row quickly.
constexpr int32_t kRowTimeout = 3;

std::string Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Redirect(const std::string& status, const std::string& location) {
  return "HTTP/1.0 " + status + "\r\nLocation: " + location + "\r\n\r\n";
}

TMisbehaviour Once(const std::string& reply) {
  TMisbehaviour misbehaviour;
  misbehaviour.head = reply;
  return misbehaviour;
}

TMisbehaviour KeptOpen(const std::string& reply) {
  TMisbehaviour misbehaviour = Once(reply);
  misbehaviour.close = false;
  return misbehaviour;
}

// head, then repeat until bytes of it went out, every paceMs or as fast as it is read.
TMisbehaviour Endless(const std::string& head, const std::string& repeat, int64_t bytes,
                      uint32_t paceMs = 0) {
  TMisbehaviour misbehaviour = Once(head);
  misbehaviour.repeat = repeat;
  misbehaviour.repeatBytes = bytes;
  misbehaviour.paceMs = paceMs;
  return misbehaviour;
}

// The misbehaviours, by request target.
std::map<std::string, TMisbehaviour> Misbehaviours() {
  const std::string filler = "X-Filler: " + std::string(1000, 'a') + "\r\n";
  const std::string longValue(64000, 'v');
  return {
      {"/landed", Once(Ok("landed"))},
      {"/endless-header", Endless("HTTP/1.0 200 OK\r\n", filler, 8 * kMiB)},
      {"charts.test:443", Endless("HTTP/1.0 200 Connection established\r\n", filler, 8 * kMiB)},
      {"/long-line", Once("HTTP/1.0 200 OK\r\nX-Long: " + std::string(8200, 'l') + "\r\n" +
                          "Content-Length: 5\r\n\r\nchart")},
      {"/long-location", Once(Redirect("302 Found", "/landed?" + longValue))},
      {"/endless-body", Endless("HTTP/1.0 200 OK\r\n\r\n", std::string(64 * 1024, 'b'), 16 * kMiB)},
      {"/announced-too-long", Once("HTTP/1.0 200 OK\r\nContent-Length: 2000000\r\n\r\nbbbb")},
      {"/byte-a-tenth", Endless("HTTP/1.0 200 OK\r\n\r\n", "b", 40, 100)},
      {"/kept-open", KeptOpen(Ok("chart"))},
      {"/longer-than-said", Once("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nchartEXTRA")},
      {"/cut-status-line", Once("HTTP/1.0 20")},
      {"/cut-header", Once("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n")},
      {"/nothing", Once("")},
      {"/html-after-header", Once("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n<HTML>page</HTML>\n")},
      {"/continue", Once("HTTP/1.1 100 Continue\r\n\r\n" + Ok("chart"))},
      {"/chunked",
       KeptOpen("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 99\r\n\r\n"
                "5\r\nchart\r\n3;name=value\r\n!!!\r\n0\r\nX-Trailer: t\r\n\r\n")},
      {"/chunked-cut", Once("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nchart\r\n")},
      {"/chunked-bad",
       Once("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfive\r\nchart\r\n")},
      {"/not-found",
       Once("HTTP/1.0 404 Not Found\r\nWWW-Authenticate: Basic realm=x\r\nLocation: /landed\r\n"
            "\r\nmissing page")},
      {"/lower-case-status", Once("http/1.0 200 ok\r\n\r\nbody")},
      {"/lower-case-cut", Once("http/1.0 200 ok\r\nContent-Length: 10\r\n\r\nbody")},
      {"/chart-with-location",
       Once("HTTP/1.0 200 OK\r\nLocation: /landed\r\nContent-Length: 5\r\n\r\nchart")},
      {"/see-other", Once(Redirect("303 See Other", "/temporary"))},
      {"/temporary", Once(Redirect("307 Temporary Redirect", "/permanent"))},
      {"/permanent", Once(Redirect("308 Permanent Redirect", "/landed"))},
      {"/other-host", Once(Redirect("302 Found", "//localhost:{PORT}/landed"))},
      {"/dir/chart.gif", Once(Redirect("302 Found", "?v=2"))},
      {"/dir/chart.gif?v=2", Once(Ok("query"))},
      {"/dir/sub/dots", Once(Redirect("302 Found", "../a/./b/../c/..//landed"))},
      {"/dir/a//landed", Once(Ok("dots"))},
      {"/blank-and-utf8", Once(Redirect("302 Found", "/my chart\xC3\xA9.gif"))},
      {"/my%20chart%C3%A9.gif", Once(Ok("encoded"))},
      {"/charts/my%20chart.gif", Once(Ok("spaced"))},
      {"/bare-cr", Once(Redirect("302 Found", "/landed\rX-Injected: 1"))},
      {"/to-ftp", Once(Redirect("301 Moved", "ftp://127.0.0.1/chart.gif"))},
      {"/to-file", Once(Redirect("302 Found", "file:///etc/passwd"))},
      {"/to-javascript", Once(Redirect("302 Found", "javascript:alert(1)"))},
      {"/to-data", Once(Redirect("302 Found", "data:image/gif;base64,R0lGODlh"))},
      {"/empty-location", Once("HTTP/1.0 302 Found\r\nLocation: \r\n\r\n")},
      {"/via-socks", Once(Ok("relayed"))},
  };
}

using TSetUp = std::function<std::shared_ptr<void>(THttpCli&, const std::string& port)>;

struct TRow {
  TRow(const char* what, std::string url, TSetUp setUp, int32_t status, std::string reason,
       uint16_t error, std::string stored, std::vector<std::string> received)
      : what(what),
        url(std::move(url)),
        setUp(std::move(setUp)),
        status(status),
        reason(std::move(reason)),
        error(error),
        stored(std::move(stored)),
        received(std::move(received)) {}
  // Only the stored size is checked, against bytes.
  TRow& StoredAtMost(int64_t bytes) {
    storedAtMost = bytes;
    return *this;
  }
  // The same client fetches target first.
  TRow& After(std::string target) {
    before = std::move(target);
    return *this;
  }

  const char* what;
  std::string url;  // a target on the server, or a whole URL ("{PORT}": the server's port)
  // Settings beyond the row defaults; what it returns lives while the request runs.
  TSetUp setUp;
  int32_t status;
  std::string reason;  // "{PORT}": the server's port
  uint16_t error;
  std::string stored;
  // Each request the server received: its request line and Host ("{PORT}" as above).
  std::vector<std::string> received;
  int64_t storedAtMost = -1;
  std::string before;
};

std::string Got(const std::string& target, const std::string& host = "127.0.0.1:{PORT}") {
  return "GET " + target + " HTTP/1.0 Host: " + host;
}

std::string WithPort(std::string text, const std::string& port) {
  for (size_t at; (at = text.find("{PORT}")) != std::string::npos;) text.replace(at, 6, port);
  return text;
}

std::shared_ptr<void> Nothing() {
  return nullptr;
}

// kHost stands for addresses, 127.0.0.2 among them silent.
std::shared_ptr<void> SilentAddresses(const std::string& port, std::vector<std::string> addresses) {
  struct THeld {
    THeld(const std::string& port, std::vector<std::string> addresses)
        : silent("127.0.0.2", port), hook(kHost, std::move(addresses)) {}
    TStalledListener silent;
    TAnsweringHook hook;
  };
  return std::make_shared<THeld>(port, std::move(addresses));
}

std::vector<TRow> Rows() {
  const std::string longTarget = "/landed?" + std::string(64000, 'v');
  const TSetUp limitBody = [](THttpCli& c, const std::string&) {
    c.MaxBodySize = 1000000;
    return Nothing();
  };
  const TSetUp viaProxy = [](THttpCli& c, const std::string& port) {
    c.Proxy = "127.0.0.1";
    c.ProxyPort = port;
    return Nothing();
  };
  const TSetUp deadline = [](THttpCli& c, const std::string&) {
    c.MaxTime = 1;
    return Nothing();
  };
  const TSetUp silentFirst = [](THttpCli&, const std::string& port) {
    return SilentAddresses(port, {"127.0.0.2", "127.0.0.1"});
  };
  const TSetUp silentOnly = [](THttpCli& c, const std::string& port) {
    c.Timeout = 1;
    return SilentAddresses(port, {"127.0.0.2"});
  };
  const TSetUp socks5 = [](THttpCli& c, const std::string& port) {
    c.SetSocksServer("127.0.0.1");
    c.SetSocksPort(port);
    c.SetSocksLevel("5");
    return Nothing();
  };
  const auto fine = [](const char* what, const std::string& target, const std::string& stored,
                       std::vector<std::string> received) {
    return TRow(what, target, nullptr, 200, "OK", 0, stored, std::move(received));
  };
  const auto refused = [](const char* what, const std::string& target, const std::string& reason,
                          uint16_t error, std::vector<std::string> received) {
    return TRow(what, target, nullptr, 404, reason, error, "", std::move(received));
  };
  const auto unsupported = [&](const char* what, const std::string& target) {
    return refused(what, target, "Redirect to an unsupported scheme", 20043, {Got(target)});
  };
  const char* const kControl = "URL holds a control character";
  const char* const kHeaderCut = "Reply ended inside its header";
  return {
      // 1. Bounded memory.
      refused("endless header lines", "/endless-header", "Reply header too large", 20038,
              {Got("/endless-header")}),
      TRow("endless header in the proxy's reply to CONNECT", "https://charts.test/a.gif", viaProxy,
           404, "Reply header too large", 20038, "",
           {"CONNECT charts.test:443 HTTP/1.1 Host: charts.test:443"}),
      fine("an 8.2 KB header line", "/long-line", "chart", {Got("/long-line")}),
      fine("a 64 KB Location", "/long-location", "landed",
           {Got("/long-location"), Got(longTarget)}),
      // 2. Bounded time and size.
      TRow("an endless body beyond the body limit", "/endless-body", limitBody, 404,
           "Body larger than 1000000 bytes", 20040, "", {Got("/endless-body")})
          .StoredAtMost(1000000),
      TRow("a Content-Length beyond the body limit", "/announced-too-long", limitBody, 404,
           "Body larger than 1000000 bytes", 20040, "", {Got("/announced-too-long")}),
      TRow("a byte every tenth of a second beyond the deadline", "/byte-a-tenth", deadline, 404,
           "Transfer took longer than 1 s", 20039, "", {Got("/byte-a-tenth")})
          .StoredAtMost(40),
      // 3. A reply ends where it says.
      fine("Content-Length reached on a connection kept open", "/kept-open", "chart",
           {Got("/kept-open")}),
      fine("bytes beyond Content-Length", "/longer-than-said", "chart", {Got("/longer-than-said")}),
      refused("cut inside the status line", "/cut-status-line", kHeaderCut, 20041,
              {Got("/cut-status-line")}),
      refused("cut inside the header", "/cut-header", kHeaderCut, 20041, {Got("/cut-header")}),
      refused("no status line at all", "/nothing", "Empty reply from server", 20032,
              {Got("/nothing")}),
      fine("a header given up for an <HTML> line", "/html-after-header", "<HTML>page</HTML>\n",
           {Got("/html-after-header")}),
      fine("100 Continue before the reply", "/continue", "chart", {Got("/continue")}),
      fine("a chunked body, Content-Length beside it", "/chunked", "chart!!!", {Got("/chunked")}),
      TRow("a chunked body cut before its last chunk", "/chunked-cut", nullptr, 200,
           "Transfer closed before the last chunk", 20030, "chart", {Got("/chunked-cut")}),
      refused("a chunk size that is no number", "/chunked-bad", "Bad chunked encoding in reply",
              20045, {Got("/chunked-bad")}),
      TRow("a body short of its Content-Length behind no status line", "/lower-case-cut", nullptr,
           0, "Transfer closed with 6 of 10 bytes missing", 20030, "body",
           {Got("/lower-case-cut")}),
      TRow("the reason and challenges of the request before", "/lower-case-status", nullptr, 0, "",
           0, "body", {Got("/lower-case-status")})
          .After("/not-found"),
      // 4. Location.
      TRow("a 404 page with a Location", "/not-found", nullptr, 404, "Not Found", 0, "missing page",
           {Got("/not-found")}),
      fine("a 200 chart with a Location", "/chart-with-location", "chart",
           {Got("/chart-with-location")}),
      fine("303, 307 and 308", "/see-other", "landed",
           {Got("/see-other"), Got("/temporary"), Got("/permanent"), Got("/landed")}),
      fine("//host/path", "/other-host", "landed",
           {Got("/other-host"), Got("/landed", "localhost:{PORT}")}),
      fine("?v=2 replaces the query", "/dir/chart.gif", "query",
           {Got("/dir/chart.gif"), Got("/dir/chart.gif?v=2")}),
      fine("./ and ../ segments", "/dir/sub/dots", "dots",
           {Got("/dir/sub/dots"), Got("/dir/a//landed")}),
      fine("a blank and UTF-8 in a Location", "/blank-and-utf8", "encoded",
           {Got("/blank-and-utf8"), Got("/my%20chart%C3%A9.gif")}),
      fine("a blank in the URL", "/charts/my chart.gif", "spaced", {Got("/charts/my%20chart.gif")}),
      fine("blanks around the URL", "/landed  ", "landed", {Got("/landed")}),
      refused("a bare CR in a Location", "/bare-cr", kControl, 20042, {Got("/bare-cr")}),
      refused("CR LF in the URL", "/landed\r\nX-Injected: 1", kControl, 20042, {}),
      refused("a TAB in the URL", "/lan\tded", kControl, 20042, {}),
      unsupported("ftp:", "/to-ftp"),
      unsupported("file:", "/to-file"),
      unsupported("javascript:", "/to-javascript"),
      unsupported("data:", "/to-data"),
      refused("an empty Location", "/empty-location", "Redirect with an empty Location", 20044,
              {Got("/empty-location")}),
      // 5. A silent address.
      TRow("a silent first address", "http://charts.test:{PORT}/landed", silentFirst, 200, "OK", 0,
           "landed", {Got("/landed", "charts.test:{PORT}")}),
      TRow("the only address silent", "http://charts.test:{PORT}/landed", silentOnly, 404,
           "Connection timed out (Error #10060) connecting to 127.0.0.2:{PORT}", 10060, "", {}),
      // 6. SOCKS 5 granting with an IPv6 bound address.
      TRow("SOCKS 5 with an IPv6 bound address", "/via-socks", socks5, 200, "OK", 0, "relayed",
           {Got("/via-socks")}),
  };
}

std::string Text(const TMemoryStream& stream) {
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

}  // namespace

TEST(HostileServers, EachMisbehaviourEndsAsItShould) {
  TMisbehavingServer server(Misbehaviours());
  for (const TRow& row : Rows()) {
    SCOPED_TRACE(row.what);
    THttpCli client;
    TMemoryStream body;
    std::vector<uint16_t> done;
    client.RcvdStream = &body;
    client.Timeout = kRowTimeout;
    client.OnRequestDone = [&](THttpCli*, THttpRequest, uint16_t error) { done.push_back(error); };
    const std::string url = row.url[0] == '/' ? server.URL(row.url) : row.url;
    if (!row.before.empty()) {
      client.URL = server.URL(row.before);
      client.Get();
      body.Clear();
      done.clear();
    }
    const std::shared_ptr<void> held = row.setUp ? row.setUp(client, server.Port()) : nullptr;
    server.requests.clear();
    client.URL = WithPort(url, server.Port());
    client.Get();
    EXPECT_EQ(client.StatusCode(), row.status);
    EXPECT_EQ(client.ReasonPhrase(), WithPort(row.reason, server.Port()));
    EXPECT_EQ(done, std::vector<uint16_t>{row.error});
    // A length the client reports is one it delivered whole.
    if (row.error == 0 && client.ContentLength() >= 0) {
      EXPECT_EQ(client.RcvdBytes(), client.ContentLength());
    }
    if (row.storedAtMost >= 0) {
      EXPECT_LE(body.Size(), row.storedAtMost);
    } else {
      EXPECT_EQ(Text(body), row.stored);
    }
    std::vector<std::string> received;
    for (const std::string& request : row.received)
      received.push_back(WithPort(request, server.Port()));
    EXPECT_EQ(server.requests, received);
    if (!row.before.empty()) {
      EXPECT_TRUE(client.AuthChallenges().empty());
    }
    MessageLoop::Current().ProcessMessages();
  }
}

// The file takes disk room ahead of a body as long as the header says, but a length that
// was a lie neither shows in the file's size nor holds the disk once the file is closed.
TEST(HostileServers, ALyingLengthHoldsNoDiskRoom) {
  TMisbehavingServer server(
      {{"/lie", Once("HTTP/1.0 200 OK\r\nContent-Length: 268435456\r\n\r\nbbbb")}});
  TempDir dir;
  const std::string fileName = dir.File("chart.gif");
  THttpCli client;
  client.Timeout = kRowTimeout;
  {
    TFileStream file(fileName, fmCreate);
    client.RcvdStream = &file;
    client.URL = server.URL("/lie");
    client.Get();
    client.RcvdStream = nullptr;
    EXPECT_EQ(ReadWholeFile(fileName), "bbbb");
  }
  EXPECT_LE(DiskBytes(fileName), 64 * 1024);
}
