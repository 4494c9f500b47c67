#include "http/resolvers.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <functional>

#include "http/host_lookup.h"
#include "http/socket_error_text.h"
#include "runtime/exceptions.h"
#include "runtime/winsock_errors.h"
#include "tests/support/raises.h"

namespace {

std::string SocketErrorOf(const std::function<void()>& fn) {
  return MessageRaised<ESocketException>(fn);
}

}  // namespace

TEST(IsDottedIP, FourNumbersOfAtMost255WithBlanksAround) {
  for (const char* dotted : {"1.2.3.4", "0.0.0.0", "255.255.255.255", "  10.0.0.1", "1.2.3.4  "})
    EXPECT_TRUE(IsDottedIP(dotted)) << dotted;
  for (const char* other : {"1.2.3.256", "1.2.3", "1..2.3", ".1.2.3", "1.2.3.4.", "1.2.3.4.5",
                            "1.2.3.4x", "1.2.3.4 x", "256.1.1.1", "host.example", "", "1.2.3.-4"})
    EXPECT_FALSE(IsDottedIP(other)) << other;
}

TEST(WSocketResolveHost, DottedAddressesBroadcastAndNames) {
  EXPECT_EQ(WSocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(WSocketResolveHost(" 10.1.2.3 "), inet_addr("10.1.2.3"));
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), INADDR_BROADCAST);
  EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
}

TEST(WSocketResolveHost, RefusedTexts) {
  EXPECT_EQ(SocketErrorOf([] { WSocketResolveHost(""); }),
            "WSocketResolveHost: '' Invalid Hostname.");
  const std::string longName(257, 'a');
  EXPECT_EQ(SocketErrorOf([&] { WSocketResolveHost(longName); }),
            "WSocketResolveHost: '" + longName + "' Invalid Hostname.");
  // Not dotted, so it is looked up as a name, which fails.
  EXPECT_EQ(SocketErrorOf([] {
              WSocketResolveHost("1.2.3.256");
            }).rfind("WSocketResolveHost: Cannot convert host address '1.2.3.256', Error #", 0),
            0u);
}

TEST(WSocketResolvePort, NumbersServicesAndRefusals) {
  EXPECT_EQ(WSocketResolvePort("80x", "tcp"), 80);
  EXPECT_EQ(WSocketResolvePort("8080", "tcp"), 8080);
  EXPECT_EQ(WSocketResolvePort("http", "tcp"), 80);
  EXPECT_EQ(WSocketResolvePort(" http ", " "), 80);  // a blank protocol: any
  EXPECT_EQ(SocketErrorOf([] { WSocketResolvePort("", "tcp"); }),
            "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(SocketErrorOf([] { WSocketResolvePort(std::string(32, '1'), "tcp"); }),
            "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(SocketErrorOf([] { WSocketResolvePort("70000", "tcp"); }),
            "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(SocketErrorOf([] { WSocketResolvePort("80", ""); }),
            "WSocketResolvePort: Invalid Proto.");
  EXPECT_EQ(SocketErrorOf([] { WSocketResolvePort("no-such-service", "tcp"); }),
            "WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004");
}

TEST(WSocketResolveProto, NumbersNamesAndRefusals) {
  EXPECT_EQ(WSocketResolveProto("tcp"), 6);
  EXPECT_EQ(WSocketResolveProto(" udp "), 17);
  EXPECT_EQ(WSocketResolveProto("17"), 17);
  EXPECT_EQ(SocketErrorOf([] { WSocketResolveProto(""); }),
            "WSocketResolveProto: Invalid Protocol.");
  EXPECT_EQ(SocketErrorOf([] { WSocketResolveProto("no-such-protocol"); }),
            "WSocketResolveProto: Cannot convert protocol 'no-such-protocol', Error #11004");
}

// A few texts at the ends of the table and around its gaps, read from the WinSock error
// list rather than from our table: a shifted or mistyped row shows up at these codes.
TEST(SocketErrorText, KnownCodesAtTheEdgesOfTheGapsAndUnknownOnes) {
  const std::pair<int, const char*> known[] = {
      {0, "No Error"},
      {10004, "Interrupted system call"},
      {10058, "Can't send after socket shutdown"},
      {10071, "Too many levels of remote in path"},
      {10091, "Network sub-system is unusable"},
      {10093, "WinSock not initialized"},
      {11001, "Host not found"},
      {11004, "No Data"},
  };
  for (const auto& [code, text] : known) EXPECT_EQ(SocketErrorText(code), text) << code;
  for (int unknown : {1, 10000, 10001, 10072, 10090, 11000, 11005, -1})
    EXPECT_EQ(SocketErrorText(unknown), "Not a WinSock error") << unknown;
}

TEST(InterleavedByFamily, TakesTheFamiliesInTurnStartingWithTheFirstAddresses) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{"::1", "::2", "10.0.0.1", "10.0.0.2"}, {"::1", "10.0.0.1", "::2", "10.0.0.2"}},
      {{"10.0.0.1", "::1", "::2", "::3"}, {"10.0.0.1", "::1", "::2", "::3"}},
      {{"10.0.0.1", "10.0.0.2", "10.0.0.3", "::1"}, {"10.0.0.1", "::1", "10.0.0.2", "10.0.0.3"}},
      {{"10.0.0.2", "10.0.0.1"}, {"10.0.0.2", "10.0.0.1"}},
      {{}, {}},
  };
  for (const auto& [given, expected] : cases) {
    std::vector<TSocketAddress> addresses;
    for (const std::string& text : given) addresses.push_back(*TSocketAddress::FromText(text));
    std::vector<std::string> ordered;
    for (const TSocketAddress& address : InterleavedByFamily(addresses))
      ordered.push_back(address.Text());
    EXPECT_EQ(ordered, expected);
  }
}

TEST(WSocketResolveHostAll, LiteralsOfBothFamiliesNamesAndRefusals) {
  TScopedHostLookup hook([](const std::string& name) {
    return name == "dual.test" ? THostLookupResult{0, name, {"::1", "::2", "127.0.0.1"}}
                               : THostLookupResult{WSAHOST_NOT_FOUND, "", {}};
  });
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"::1", {"::1"}},
      {" [2001:DB8::5] ", {"2001:db8::5"}},
      {"127.000.0.1", {"127.0.0.1"}},
      {"dual.test", {"::1", "127.0.0.1", "::2"}},
  };
  for (const auto& [text, expected] : cases) {
    std::vector<std::string> found;
    for (const TSocketAddress& address : WSocketResolveHostAll(text))
      found.push_back(address.Text());
    EXPECT_EQ(found, expected) << text;
  }
  EXPECT_EQ(SocketErrorOf([] { WSocketResolveHostAll("1::2::3"); }),
            "WSocketResolveHost: '1::2::3' Invalid IP address.");
  EXPECT_EQ(SocketErrorOf([] { WSocketResolveHostAll("[::1"); }),
            "WSocketResolveHost: '[::1' Invalid IP address.");
  EXPECT_EQ(SocketErrorOf([] { WSocketResolveHostAll("v4only.test"); }),
            "WSocketResolveHost: Cannot convert host address 'v4only.test', Error #11001");
}
