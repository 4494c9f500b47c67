// IPv6 literals from the URL to the socket: how they are cut out of URLs and written back
// into Host and request lines, and requests to a server listening on ::1 only.

#include <gtest/gtest.h>

#include "http/http_cli.h"
#include "http/http_target.h"
#include "http/url_helpers.h"
#include "http/url_reference.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/pump.h"

namespace {

std::string Text(const TMemoryStream& stream) {
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

}  // namespace

TEST(IPv6Urls, TheHostGoesWithoutBracketsAndComesBackWithThem) {
  struct TCase {
    std::string url, host, port, user, password, path, hostField, origin;
  };
  const TCase cases[] = {
      {"http://[::1]:8080/x.gif", "::1", "8080", "", "", "/x.gif", "[::1]:8080",
       "http://[::1]:8080"},
      {"https://[2001:db8::5]/", "2001:db8::5", "", "", "", "/", "[2001:db8::5]",
       "https://[2001:db8::5]:443"},
      {"http://[::1]", "::1", "", "", "", "", "[::1]", "http://[::1]:80"},
      {"http://[::1]:80/a?q=1", "::1", "80", "", "", "/a?q=1", "[::1]", "http://[::1]:80"},
      {"http://me:pw@[::ffff:10.0.0.1]:81/a", "::ffff:10.0.0.1", "81", "me", "pw", "/a",
       "[::ffff:10.0.0.1]:81", "http://[::ffff:10.0.0.1]:81"},
      {"http://me:pw@host:81/a", "host", "81", "me", "pw", "/a", "host:81", "http://host:81"},
      {"http://10.0.0.1:8/a", "10.0.0.1", "8", "", "", "/a", "10.0.0.1:8", "http://10.0.0.1:8"},
  };
  for (const TCase& c : cases) {
    TUrlParts parts;
    std::string path;
    SplitURL(c.url, parts, path);
    EXPECT_EQ(parts.host, c.host) << c.url;
    EXPECT_EQ(parts.port, c.port) << c.url;
    EXPECT_EQ(parts.user, c.user) << c.url;
    EXPECT_EQ(parts.password, c.password) << c.url;
    EXPECT_EQ(path, c.path) << c.url;

    THttpTarget target;
    THttpCredentials credentials;
    StartTarget(c.url, "", "", target, credentials);
    EXPECT_EQ(target.ServerName, c.host) << c.url;  // what is looked up and connected to
    EXPECT_EQ(HostField(target), c.hostField) << c.url;
    EXPECT_EQ(TargetOrigin(target), c.origin) << c.url;
  }
}

TEST(IPv6Urls, ProxyTargetsLocationsAndShownUrlsKeepTheBrackets) {
  THttpTarget target;
  THttpCredentials credentials;
  StartTarget("http://[::1]:8080/a/b.gif", "http://proxy.test:3128", "", target, credentials);
  EXPECT_EQ(target.RequestPath, "http://[::1]:8080/a/b.gif");
  ApplyLocation(ResolveReference(CurrentUrl(target), "/c.gif"), true, target, credentials);
  EXPECT_EQ(target.RequestPath, "http://[::1]:8080/c.gif");

  StartTarget("http://[::1]:8080/a/b.gif", "", "", target, credentials);
  ApplyLocation(ResolveReference(CurrentUrl(target), "/c.gif"), false, target, credentials);
  EXPECT_EQ(target.Location, "http://[::1]:8080/c.gif");
  ApplyLocation("http://[2001:db8::7]:90/d.gif", false, target, credentials);
  EXPECT_EQ(target.ServerName, "2001:db8::7");
  EXPECT_EQ(target.ServerPort, "90");
  EXPECT_EQ(target.Location, "http://[2001:db8::7]:90/d.gif");

  EXPECT_EQ(UrlWithoutPassword("http://me:pw@[::1]:8/x"), "http://me@[::1]:8/x");
  EXPECT_EQ(UrlWithoutPassword("http://[::1]:8/x"), "http://[::1]:8/x");
}

// A request to a server on ::1 by its literal, from any local address and from ::1 bound
// on purpose: the server sees the client's address, and both sides tell theirs as IPv6.
TEST(IPv6Requests, ALiteralUrlReachesAServerListeningOnlyOnIPv6) {
  for (const std::string localAddr : {"0.0.0.0", "::1"}) {
    TScriptedHttpServer server({{HttpReply("200 OK", {}, "v6 body")}}, "::1");
    THttpCli client;
    TMemoryStream body;
    client.RcvdStream = &body;
    client.LocalAddr = localAddr;
    std::string peerOfServer, peerOfClient;
    client.OnSessionConnected = [&](THttpCli* sender) {
      peerOfClient = sender->CtrlSocket().PeerAddr();
    };
    client.URL = server.URL("/x.gif");
    client.Get();
    EXPECT_EQ(client.StatusCode(), 200) << localAddr << " " << client.ReasonPhrase();
    EXPECT_EQ(Text(body), "v6 body") << localAddr;
    EXPECT_EQ(peerOfClient, "::1") << localAddr;
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_NE(server.requests[0].find("\r\nHost: [::1]:" + server.Port() + "\r\n"),
              std::string::npos)
        << server.requests[0];
    MessageLoop::Current().ProcessMessages();
  }
}
