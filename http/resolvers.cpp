#include "http/resolvers.h"

#include <algorithm>

#include "http/host_lookup.h"
#include "http/winsock.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr size_t kMaxHostNameLength = 256;
constexpr size_t kPortOrProtocolLimit = 32;  // this long or longer is refused
constexpr unsigned kMaxDottedPart = 255;
constexpr int kDotsInAddress = 3;
constexpr unsigned kMaxPort = 65535;
constexpr unsigned kMaxProtocolNumber = 255;
constexpr char kBroadcastAddress[] = "255.255.255.255";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal number at the start of text; reading stops at the first non-digit. Values
// beyond limit give limit + 1.
unsigned LeadingNumber(const std::string& text, unsigned limit) {
  unsigned value = 0;
  for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > limit) return limit + 1;
  }
  return value;
}

}  // namespace

bool IsDottedIP(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && text[i] == '.') return false;
  int dots = 0;
  unsigned value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (value > kMaxDottedPart) value = kMaxDottedPart + 1;  // stays too large
    } else if (c == '.') {
      if (++dots > kDotsInAddress || value > kMaxDottedPart || i + 1 == text.size() ||
          !IsDigit(text[i + 1]))
        return false;
      value = 0;
    } else {
      // Only trailing blanks may follow the address.
      while (i < text.size() && IsBlank(text[i])) ++i;
      if (i < text.size()) return false;
      break;
    }
  }
  return dots == kDotsInAddress && value <= kMaxDottedPart;
}

in_addr_t WSocketResolveHost(const std::string& text) {
  if (text.empty() || text.size() > kMaxHostNameLength)
    throw ESocketException("WSocketResolveHost: '" + text + "' Invalid Hostname.");
  const std::string host = Trim(text);
  if (IsDottedIP(host)) {
    const in_addr_t address = WSocket_inet_addr(host.c_str());
    // The broadcast address reads as inet_addr's "no address"; only its own text means it.
    if (address == INADDR_NONE && host != kBroadcastAddress)
      throw ESocketException("WSocketResolveHost: '" + text + "' Invalid IP address.");
    return address;
  }
  const THostEntry* entry = WSocket_gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addr_list.empty())
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d",
                                  text.c_str(), WSocket_WSAGetLastError()));
  return entry->h_addr_list.front();
}

std::optional<TSocketAddress> IPv6Literal(const std::string& text) {
  const bool bracketed = text.size() >= 2 && text.front() == '[' && text.back() == ']';
  const std::string bare = bracketed ? text.substr(1, text.size() - 2) : text;
  if (bare.find(':') == std::string::npos) return std::nullopt;
  return TSocketAddress::FromText(bare);
}

std::vector<TSocketAddress> WSocketResolveHostAll(const std::string& text) {
  const std::string host = Trim(text);
  // A colon is in no host name, so the text can only be a (maybe mistyped) IPv6 literal.
  if (host.find(':') != std::string::npos) {
    const std::optional<TSocketAddress> literal = IPv6Literal(host);
    if (!literal) throw ESocketException("WSocketResolveHost: '" + text + "' Invalid IP address.");
    return {*literal};
  }
  if (text.empty() || text.size() > kMaxHostNameLength || IsDottedIP(host))
    return {TSocketAddress::FromIPv4(WSocketResolveHost(text))};
  const THostLookupResult found = LookupHost(host);
  std::vector<TSocketAddress> addresses;
  for (const std::string& address : found.Addresses)
    if (const std::optional<TSocketAddress> parsed = TSocketAddress::FromText(address))
      addresses.push_back(*parsed);
  if (found.Error != 0 || addresses.empty())
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d",
                                  text.c_str(), found.Error != 0 ? found.Error : WSANO_DATA));
  return InterleavedByFamily(addresses);
}

std::vector<TSocketAddress> InterleavedByFamily(const std::vector<TSocketAddress>& addresses) {
  if (addresses.empty()) return {};
  std::vector<TSocketAddress> first, second;
  for (const TSocketAddress& address : addresses)
    (address.Family() == addresses.front().Family() ? first : second).push_back(address);
  std::vector<TSocketAddress> ordered;
  for (size_t i = 0; i < std::max(first.size(), second.size()); ++i) {
    if (i < first.size()) ordered.push_back(first[i]);
    if (i < second.size()) ordered.push_back(second[i]);
  }
  return ordered;
}

uint16_t WSocketResolvePort(const std::string& port, const std::string& protocol) {
  if (port.empty() || port.size() >= kPortOrProtocolLimit)
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (protocol.empty() || protocol.size() >= kPortOrProtocolLimit)
    throw ESocketException("WSocketResolvePort: Invalid Proto.");
  if (IsDigit(port[0])) {
    // A number beyond the port range would wrap round to another port.
    const unsigned number = LeadingNumber(port, kMaxPort);
    if (number > kMaxPort) throw ESocketException("WSocketResolvePort: Invalid Port.");
    return static_cast<uint16_t>(number);
  }
  const std::string name = Trim(port), proto = Trim(protocol);
  const TServiceEntry* entry =
      WSocket_getservbyname(name.c_str(), proto.empty() ? nullptr : proto.c_str());
  if (entry == nullptr)
    throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d",
                                  port.c_str(), WSocket_WSAGetLastError()));
  return WSocket_ntohs(entry->s_port);
}

int WSocketResolveProto(const std::string& text) {
  if (text.empty() || text.size() >= kPortOrProtocolLimit)
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  const std::string proto = Trim(text);
  if (!proto.empty() && IsDigit(proto[0]))
    return static_cast<int>(LeadingNumber(proto, kMaxProtocolNumber));
  const TProtocolEntry* entry = WSocket_getprotobyname(proto.c_str());
  if (entry == nullptr)
    throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d",
                                  text.c_str(), WSocket_WSAGetLastError()));
  return entry->p_proto;
}
