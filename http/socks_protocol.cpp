#include "http/socks_protocol.h"

#include <arpa/inet.h>

#include "runtime/strings.h"

namespace {

constexpr uint8_t kSocks4Version = 4;
constexpr uint8_t kSocks5Version = 5;
constexpr uint8_t kAuthVersion = 1;
constexpr uint8_t kConnectCommand = 1;
constexpr uint8_t kAddressIPv4 = 1;
constexpr uint8_t kAddressDomainName = 3;
constexpr uint8_t kAddressIPv6 = 4;
// SOCKS 4A: an address 0.0.0.x with x not 0 says "the host name follows".
constexpr uint32_t kSocks4AAddress = 1;

constexpr uint8_t kSocks4ReplyVersion = 0;
constexpr size_t kSocks4ReplyLength = 8;
constexpr uint8_t kSocks4Granted = 90;
constexpr uint8_t kSocks4Rejected = 91;
constexpr uint8_t kSocks4NoIdentd = 92;
constexpr uint8_t kSocks4IdentdMismatch = 93;

constexpr size_t kSocks5IPv4ReplyLength = 10;
constexpr size_t kSocks5IPv6ReplyLength = 22;
constexpr size_t kBoundAddressStart = 4;
constexpr size_t kSocks5NameReplyOverhead = 7;  // version, reply, reserved, type, length, port
constexpr uint8_t kSocks5LastKnownReply = 8;

const char* const kSocks5ReplyTexts[] = {
    "general SOCKS server failure", "connection not allowed by ruleset",
    "network unreachable",          "host unreachable",
    "connection refused",           "time to live expired",
    "command not supported",        "address type not supported"};

std::string IPv6Text(const uint8_t* address) {
  char text[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, address, text, sizeof text);
  return text;
}

std::string Byte(unsigned value) {
  return std::string(1, static_cast<char>(value & 0xFF));
}

// Two bytes, most significant first: the port in network order.
std::string NetworkPort(uint16_t port) {
  return Byte(port >> 8) + Byte(port);
}

std::string LengthPrefixed(const std::string& text) {
  return Byte(static_cast<unsigned>(text.size())) + text;
}

uint16_t PortAt(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

TSocksReply Failed(int error, std::string text) {
  TSocksReply reply;
  reply.Outcome = soFailed;
  reply.Error = error;
  reply.Text = std::move(text);
  return reply;
}

TSocksReply Done(size_t length) {
  TSocksReply reply;
  reply.Outcome = soDone;
  reply.Length = length;
  return reply;
}

TSocksReply VersionError() {
  return Failed(kSocksVersionError, "socks version error");
}

TSocksReply Unassigned(uint8_t code) {
  return Failed(kSocksUnassignedError, "unassigned error #" + IntToStr(code));
}

TSocksReply BoundReply(const uint8_t* bytes, size_t length, std::string boundAddr) {
  TSocksReply reply = Done(length);
  reply.BoundAddr = std::move(boundAddr);
  reply.BoundPort = IntToStr(PortAt(bytes + length - 2));
  return reply;
}

}  // namespace

std::string Socks5MethodRequest(bool authenticateUsercode) {
  return Byte(kSocks5Version) + Byte(1) +
         Byte(authenticateUsercode ? kSocksMethodUsercode : kSocksMethodNone);
}

std::string Socks5AuthRequest(const std::string& usercode, const std::string& password) {
  return Byte(kAuthVersion) + LengthPrefixed(usercode) + LengthPrefixed(password);
}

std::string Socks5ConnectRequest(const std::string& host, uint16_t port) {
  return Byte(kSocks5Version) + Byte(kConnectCommand) + Byte(0) + Byte(kAddressDomainName) +
         LengthPrefixed(host) + NetworkPort(port);
}

std::string Socks4ConnectRequest(uint32_t address, uint16_t port, const std::string& usercode,
                                 const std::string& host) {
  std::string request = Byte(kSocks4Version) + Byte(kConnectCommand) + NetworkPort(port);
  if (!host.empty()) {
    for (int shift = 24; shift >= 0; shift -= 8) request += Byte(kSocks4AAddress >> shift);
  } else {
    // Already in network order: the bytes go out as they lie in memory.
    request.append(reinterpret_cast<const char*>(&address), sizeof address);
  }
  request += usercode + Byte(0);
  if (!host.empty()) request += host + Byte(0);
  return request;
}

TSocksReply JudgeSocks5MethodReply(const uint8_t* bytes, size_t count) {
  if (count < 2) return {};
  if (bytes[0] != kSocks5Version) return VersionError();
  if (bytes[1] != kSocksMethodNone && bytes[1] != kSocksMethodUsercode)
    return Failed(kSocksMethodNotAcceptable, "authentification method not acceptable");
  TSocksReply reply = Done(2);
  reply.Method = bytes[1];
  return reply;
}

TSocksReply JudgeSocks5AuthReply(const uint8_t* bytes, size_t count) {
  if (count < 1) return {};
  if (bytes[0] != kAuthVersion) return VersionError();
  if (count > 2) return Failed(kSocksLogicError, "too much data availaible");
  if (count < 2) return {};
  if (bytes[1] != 0) return Failed(kSocksAuthenticationFailed, "socks authentication failed");
  return Done(2);
}

TSocksReply JudgeSocks4ConnectReply(const uint8_t* bytes, size_t count) {
  if (count < 1) return {};
  if (bytes[0] != kSocks4ReplyVersion) return VersionError();
  if (count < kSocks4ReplyLength) return {};
  switch (bytes[1]) {
    case kSocks4Granted:
      return Done(kSocks4ReplyLength);
    case kSocks4Rejected:
      return Failed(kSocksRequestRejected, "request rejected or failed");
    case kSocks4NoIdentd:
      return Failed(kSocksConnectionRefused, "connection refused");
    case kSocks4IdentdMismatch:
      return Failed(kSocksAuthenticationFailed, "authentification failed");
    default:
      return Unassigned(bytes[1]);
  }
}

TSocksReply JudgeSocks5ConnectReply(const uint8_t* bytes, size_t count) {
  if (count < 1) return {};
  if (bytes[0] != kSocks5Version) return VersionError();
  if (count < 2) return {};
  const uint8_t code = bytes[1];
  if (code >= 1 && code <= kSocks5LastKnownReply)
    return Failed(kSocksFirstReplyError + code - 1, kSocks5ReplyTexts[code - 1]);
  if (code != 0) return Unassigned(code);
  if (count < 4) return {};
  if (bytes[3] == kAddressIPv4) {
    if (count < kSocks5IPv4ReplyLength) return {};
    const std::string dotted = IntToStr(bytes[4]) + "." + IntToStr(bytes[5]) + "." +
                               IntToStr(bytes[6]) + "." + IntToStr(bytes[7]);
    return BoundReply(bytes, kSocks5IPv4ReplyLength, dotted);
  }
  // A server whose outside is IPv6 (danted with an IPv6 external address) binds there.
  if (bytes[3] == kAddressIPv6) {
    if (count < kSocks5IPv6ReplyLength) return {};
    return BoundReply(bytes, kSocks5IPv6ReplyLength, IPv6Text(bytes + kBoundAddressStart));
  }
  if (bytes[3] != kAddressDomainName)
    return Failed(kSocksAddressTypeNotSupported, "address type not supported");
  if (count < 5) return {};
  const size_t length = kSocks5NameReplyOverhead + bytes[4];
  if (count < length) return {};
  return BoundReply(bytes, length, std::string(reinterpret_cast<const char*>(bytes + 5), bytes[4]));
}
