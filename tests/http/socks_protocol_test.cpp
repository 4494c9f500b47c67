#include "http/socks_protocol.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Judges the reply one byte more at a time, as it could trickle in, and gives the first
// verdict that is not "incomplete" (and how many bytes it took).
template <class Judge>
std::pair<TSocksReply, size_t> Trickle(Judge judge, const Bytes& reply) {
  for (size_t count = 0; count <= reply.size(); ++count) {
    TSocksReply verdict = judge(reply.data(), count);
    if (verdict.Outcome != soIncomplete) return {verdict, count};
  }
  return {TSocksReply{}, reply.size()};
}

}  // namespace

TEST(SocksProtocol, RequestsByteForByte) {
  EXPECT_EQ(Socks5MethodRequest(false), Text({5, 1, 0}));
  EXPECT_EQ(Socks5MethodRequest(true), Text({5, 1, 2}));
  // RFC 1929: version 1, then each text after its length.
  EXPECT_EQ(Socks5AuthRequest("ab", "xyz"), Text({1, 2, 'a', 'b', 3, 'x', 'y', 'z'}));
  // RFC 1928: connect (1), reserved, domain name (3), length, name, port 8080 = 0x1F90.
  EXPECT_EQ(Socks5ConnectRequest("h.example", 8080),
            Text({5, 1, 0, 3, 9, 'h', '.', 'e', 'x', 'a', 'm', 'p', 'l', 'e', 0x1F, 0x90}));
  // SOCKS 4: the address as it lies in memory (network order), the user and a zero.
  const uint32_t address = htonl(0x7F000001);
  EXPECT_EQ(Socks4ConnectRequest(address, 80, "me", ""),
            Text({4, 1, 0, 80, 127, 0, 0, 1, 'm', 'e', 0}));
  // SOCKS 4A: the address 0.0.0.1 and the host name behind the user.
  EXPECT_EQ(Socks4ConnectRequest(address, 443, "", "h"),
            Text({4, 1, 0x01, 0xBB, 0, 0, 0, 1, 0, 'h', 0}));
}

TEST(SocksProtocol, MethodReply) {
  auto [none, noneLength] = Trickle(JudgeSocks5MethodReply, {5, 0});
  EXPECT_EQ(none.Outcome, soDone);
  EXPECT_EQ(none.Method, kSocksMethodNone);
  EXPECT_EQ(noneLength, 2u);
  EXPECT_EQ(JudgeSocks5MethodReply(Bytes{5, 2}.data(), 2).Method, kSocksMethodUsercode);
  const TSocksReply version = JudgeSocks5MethodReply(Bytes{4, 0}.data(), 2);
  EXPECT_EQ(version.Error, 20002);
  EXPECT_EQ(version.Text, "socks version error");
  // 0xFF is the server's "no acceptable method".
  const TSocksReply method = JudgeSocks5MethodReply(Bytes{5, 0xFF}.data(), 2);
  EXPECT_EQ(method.Error, 20003);
  EXPECT_EQ(method.Text, "authentification method not acceptable");
}

TEST(SocksProtocol, AuthenticationReply) {
  EXPECT_EQ(Trickle(JudgeSocks5AuthReply, {1, 0}).first.Outcome, soDone);
  const TSocksReply refused = JudgeSocks5AuthReply(Bytes{1, 1}.data(), 2);
  EXPECT_EQ(refused.Error, 20015);
  EXPECT_EQ(refused.Text, "socks authentication failed");
  // The wrong version is seen at the first byte already.
  EXPECT_EQ(JudgeSocks5AuthReply(Bytes{5}.data(), 1).Error, 20002);
  const TSocksReply tooLong = JudgeSocks5AuthReply(Bytes{1, 0, 0}.data(), 3);
  EXPECT_EQ(tooLong.Error, 20001);
  EXPECT_EQ(tooLong.Text, "too much data availaible");
}

TEST(SocksProtocol, Socks4ReplyCodes) {
  auto [granted, length] = Trickle(JudgeSocks4ConnectReply, {0, 90, 0, 80, 127, 0, 0, 1});
  EXPECT_EQ(granted.Outcome, soDone);
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(granted.Length, 8u);
  const struct {
    uint8_t status;
    int error;
    const char* text;
  } failures[] = {{91, 20016, "request rejected or failed"},
                  {92, 20008, "connection refused"},
                  {93, 20015, "authentification failed"},
                  {94, 20012, "unassigned error #94"}};
  for (const auto& failure : failures) {
    const TSocksReply reply =
        Trickle(JudgeSocks4ConnectReply, {0, failure.status, 0, 0, 0, 0, 0, 0}).first;
    EXPECT_EQ(reply.Error, failure.error) << int(failure.status);
    EXPECT_EQ(reply.Text, failure.text);
  }
  EXPECT_EQ(JudgeSocks4ConnectReply(Bytes{4}.data(), 1).Error, 20002);
}

TEST(SocksProtocol, Socks5ReplyCodesAndBoundAddress) {
  const char* const texts[] = {"general SOCKS server failure", "connection not allowed by ruleset",
                               "network unreachable",          "host unreachable",
                               "connection refused",           "time to live expired",
                               "command not supported",        "address type not supported"};
  for (uint8_t code = 1; code <= 8; ++code) {
    const TSocksReply reply = JudgeSocks5ConnectReply(Bytes{5, code}.data(), 2);
    EXPECT_EQ(reply.Error, 20003 + code);
    EXPECT_EQ(reply.Text, texts[code - 1]);
  }
  EXPECT_EQ(JudgeSocks5ConnectReply(Bytes{5, 9}.data(), 2).Text, "unassigned error #9");
  EXPECT_EQ(JudgeSocks5ConnectReply(Bytes{0}.data(), 1).Error, 20002);

  auto [ipv4, ipv4Length] =
      Trickle(JudgeSocks5ConnectReply, {5, 0, 0, 1, 10, 1, 2, 3, 0x04, 0x38, 'd'});
  EXPECT_EQ(ipv4.Outcome, soDone);
  EXPECT_EQ(ipv4Length, 10u);
  EXPECT_EQ(ipv4.BoundAddr, "10.1.2.3");
  EXPECT_EQ(ipv4.BoundPort, "1080");

  auto [name, nameLength] = Trickle(JudgeSocks5ConnectReply, {5, 0, 0, 3, 2, 'h', 'x', 0, 21});
  EXPECT_EQ(name.Outcome, soDone);
  EXPECT_EQ(nameLength, 9u);
  EXPECT_EQ(name.Length, 9u);
  EXPECT_EQ(name.BoundAddr, "hx");
  EXPECT_EQ(name.BoundPort, "21");

  // A server whose outside is IPv6 binds an IPv6 address (type 4).
  auto [ipv6, ipv6Length] =
      Trickle(JudgeSocks5ConnectReply,
              {5, 0, 0, 4, 0x20, 1, 0xd, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 4, 0x38});
  EXPECT_EQ(ipv6.Outcome, soDone);
  EXPECT_EQ(ipv6Length, 22u);
  EXPECT_EQ(ipv6.BoundAddr, "2001:db8::1");
  EXPECT_EQ(ipv6.BoundPort, "1080");

  // Any other type is refused.
  EXPECT_EQ(JudgeSocks5ConnectReply(Bytes{5, 0, 0, 5}.data(), 4).Error, 20011);
}
