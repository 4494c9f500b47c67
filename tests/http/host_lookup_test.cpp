#include "http/host_lookup.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "http/custom_wsocket.h"
#include "http/resolvers.h"
#include "runtime/exceptions.h"
#include "runtime/winsock_errors.h"
#include "tests/support/pump.h"
#include "tests/support/raises.h"

namespace {

THostLookup Answering(const std::string& name, THostLookupResult answer) {
  return [name, answer](const std::string& asked) {
    return asked == name ? answer : THostLookupResult{WSAHOST_NOT_FOUND, "", {}};
  };
}

// The outcome of an asynchronous DnsLookup: the error, then the addresses.
std::vector<std::string> AsyncLookup(const std::string& name) {
  MessageLoop& loop = MessageLoop::Current();
  TCustomWSocket socket;
  std::vector<std::string> outcome;
  socket.OnDnsLookupDone = [&](TCustomWSocket* sender, uint16_t error) {
    outcome.push_back(std::to_string(error));
    for (const std::string& address : sender->DnsResultList()) outcome.push_back(address);
  };
  socket.DnsLookup(name);
  EXPECT_TRUE(PumpUntil(loop, [&] { return !outcome.empty(); }));
  return outcome;
}

}  // namespace

TEST(HostLookupHook, AnswersBlockingAndAsynchronousLookupsUntilItEnds) {
  {
    TScopedHostLookup hook(Answering("station.test", {0, "station.test", {"10.9.8.7"}}));
    EXPECT_EQ(WSocketResolveHost("station.test"), inet_addr("10.9.8.7"));
    EXPECT_EQ(AsyncLookup("station.test"), (std::vector<std::string>{"0", "10.9.8.7"}));
    // The system is not asked while the hook lives: its "localhost" is not found.
    EXPECT_EQ(AsyncLookup("localhost"), std::vector<std::string>{"11001"});
    EXPECT_EQ(MessageRaised<ESocketException>([] { WSocketResolveHost("localhost"); }),
              "WSocketResolveHost: Cannot convert host address 'localhost', Error #11001");
    {
      TScopedHostLookup inner(Answering("station.test", {WSATRY_AGAIN, "", {}}));
      EXPECT_EQ(AsyncLookup("station.test"), std::vector<std::string>{"11002"});
    }
    EXPECT_EQ(AsyncLookup("station.test"), (std::vector<std::string>{"0", "10.9.8.7"}));
  }
  EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
  const std::vector<std::string> system = AsyncLookup("localhost");
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system.front(), "0");
  EXPECT_NE(std::find(system.begin(), system.end(), "127.0.0.1"), system.end());
}
