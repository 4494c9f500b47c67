#pragma once
// The bytes of a SOCKS 4, 4A and 5 negotiation (RFC 1928, RFC 1929): the requests the
// client sends and the judging of the server's replies as they arrive piece by piece.
// Works on buffers only, so tests and the fuzzer drive it directly.

#include <cstddef>
#include <cstdint>
#include <string>

// The error codes of a failed negotiation, passed to OnSocksError and on as the error of
// the connect and the close.
constexpr int kSocksLogicError = 20001;  // also: an authentication reply too long
constexpr int kSocksVersionError = 20002;
constexpr int kSocksMethodNotAcceptable = 20003;
constexpr int kSocksFirstReplyError = 20004;  // SOCKS 5 reply codes 1 to 8: 20004 to 20011
constexpr int kSocksConnectionRefused = 20008;
constexpr int kSocksAddressTypeNotSupported = 20011;
constexpr int kSocksUnassignedError = 20012;
constexpr int kSocksInternalError = 20013;
constexpr int kSocksAuthenticationFailed = 20015;
constexpr int kSocksRequestRejected = 20016;
constexpr int kSocksResolveError = 20017;

// The texts that go with the codes where the reply does not decide them.
inline constexpr const char* kSocksLogicErrorText = "TWSocket logic error";
inline constexpr const char* kSocksInternalErrorText = "internal error";
inline constexpr const char* kSocksReceiveErrorText = "data receive error";

// Authentication methods of a SOCKS 5 method selection.
constexpr uint8_t kSocksMethodNone = 0;
constexpr uint8_t kSocksMethodUsercode = 2;

std::string Socks5MethodRequest(bool authenticateUsercode);
std::string Socks5AuthRequest(const std::string& usercode, const std::string& password);
// A connect by domain name; the port in host order.
std::string Socks5ConnectRequest(const std::string& host, uint16_t port);
// SOCKS 4 with the address in network order; SOCKS 4A names the host instead (and sends
// the address 0.0.0.1) when host is not empty.
std::string Socks4ConnectRequest(uint32_t address, uint16_t port, const std::string& usercode,
                                 const std::string& host);

enum TSocksOutcome { soIncomplete, soDone, soFailed };

struct TSocksReply {
  TSocksOutcome Outcome = soIncomplete;
  int Error = 0;  // soFailed: the code, with its Text
  std::string Text;
  uint8_t Method = 0;     // a method reply: the method the server chose
  size_t Length = 0;      // soDone: the bytes of the reply; what follows is data
  std::string BoundAddr;  // a SOCKS 5 connect reply: where the server bound
  std::string BoundPort;
};

// Each judges the count bytes received so far of one reply.
TSocksReply JudgeSocks5MethodReply(const uint8_t* bytes, size_t count);
TSocksReply JudgeSocks5AuthReply(const uint8_t* bytes, size_t count);
TSocksReply JudgeSocks4ConnectReply(const uint8_t* bytes, size_t count);
TSocksReply JudgeSocks5ConnectReply(const uint8_t* bytes, size_t count);
