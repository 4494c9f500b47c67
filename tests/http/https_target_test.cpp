// The https scheme in where a request goes: its default port and its absolute Location.

#include <gtest/gtest.h>

#include "http/http_target.h"
#include "http/url_reference.h"

namespace {

THttpTarget Started(const std::string& url, const std::string& proxy = "") {
  THttpTarget target;
  THttpCredentials credentials;
  StartTarget(url, proxy, "80", target, credentials);
  return target;
}

// As the client follows a Location: resolved against the current URL, then applied.
THttpTarget Redirected(THttpTarget target, const std::string& location, bool viaProxy = false) {
  THttpCredentials credentials;
  ApplyLocation(ResolveReference(CurrentUrl(target), location), viaProxy, target, credentials);
  return target;
}

TEST(HttpsTarget, SchemeChoosesTlsAndItsDefaultPort) {
  const THttpTarget secure = Started("https://charts.example/a/b.gif");
  EXPECT_TRUE(secure.Secure);
  EXPECT_EQ(secure.ServerName, "charts.example");
  EXPECT_EQ(secure.ServerPort, "443");
  EXPECT_EQ(secure.RequestPath, "/a/b.gif");
  EXPECT_EQ(Started("https://charts.example:8443/x").ServerPort, "8443");
  const THttpTarget plain = Started("http://charts.example/x");
  EXPECT_FALSE(plain.Secure);
  EXPECT_EQ(plain.ServerPort, "80");
  EXPECT_TRUE(Started("https://charts.example/x", "proxy:3128").Secure);
}

TEST(HttpsTarget, AbsoluteLocationsSwitchTheSchemeBothWays) {
  const THttpTarget up = Redirected(Started("http://old.example/x"), "https://new.example/y.gif");
  EXPECT_TRUE(up.Secure);
  EXPECT_EQ(up.ServerName, "new.example");
  EXPECT_EQ(up.ServerPort, "443");
  EXPECT_EQ(up.HostHeaderValue, "new.example");
  EXPECT_EQ(up.RequestPath, "/y.gif");
  EXPECT_EQ(up.Location, "https://new.example/y.gif");

  const THttpTarget down = Redirected(up, "http://old.example:8080/z");
  EXPECT_FALSE(down.Secure);
  EXPECT_EQ(down.ServerPort, "8080");
  EXPECT_EQ(down.Location, "http://old.example:8080/z");

  // The scheme in any letter case.
  const THttpTarget upper = Redirected(up, "HTTPS://elsewhere/w");
  EXPECT_TRUE(upper.Secure);
  EXPECT_EQ(upper.ServerName, "elsewhere");
}

TEST(HttpsTarget, RelativeLocationsStayOnTheSecureServer) {
  const THttpTarget start = Started("https://charts.example:8443/a/b.gif");
  const THttpTarget rooted = Redirected(start, "/c.gif");
  EXPECT_TRUE(rooted.Secure);
  EXPECT_EQ(rooted.ServerPort, "8443");
  EXPECT_EQ(rooted.Location, "https://charts.example:8443/c.gif");
  const THttpTarget beside = Redirected(start, "d.gif");
  EXPECT_EQ(beside.RequestPath, "/a/d.gif");
  EXPECT_EQ(beside.Location, "https://charts.example:8443/a/d.gif");
}

TEST(HttpsTarget, ThroughAProxyAnHttpsLocationIsMarkedSecure) {
  const THttpTarget proxied =
      Redirected(Started("http://old.example/x", "proxy:3128"), "https://new.example/y", true);
  EXPECT_TRUE(proxied.Secure);
  EXPECT_EQ(proxied.RequestPath, "https://new.example/y");
  EXPECT_EQ(proxied.ServerName, "proxy");
}

}  // namespace
