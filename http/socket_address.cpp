#include "http/socket_address.h"

#include <arpa/inet.h>

TSocketAddress::TSocketAddress() {
  address_.ss_family = AF_INET;
}

TSocketAddress TSocketAddress::Any(int family) {
  TSocketAddress any;
  any.address_.ss_family = static_cast<sa_family_t>(family == AF_INET6 ? AF_INET6 : AF_INET);
  return any;
}

std::optional<TSocketAddress> TSocketAddress::FromText(const std::string& text) {
  TSocketAddress result = Any(AF_INET6);
  if (::inet_pton(AF_INET6, text.c_str(), &result.V6().sin6_addr) == 1) return result;
  result = Any(AF_INET);
  if (::inet_pton(AF_INET, text.c_str(), &result.V4().sin_addr) == 1) return result;
  return std::nullopt;
}

TSocketAddress TSocketAddress::FromIPv4(in_addr_t address) {
  TSocketAddress result;
  result.V4().sin_addr.s_addr = address;
  return result;
}

TSocketAddress TSocketAddress::FromNative(const sockaddr_storage& native) {
  TSocketAddress result;
  result.address_ = native;
  if (result.Family() != AF_INET6) result.address_.ss_family = AF_INET;
  return result;
}

std::string TSocketAddress::Text() const {
  char text[INET6_ADDRSTRLEN] = "";
  if (IsIPv6())
    ::inet_ntop(AF_INET6, &V6().sin6_addr, text, sizeof text);
  else
    ::inet_ntop(AF_INET, &V4().sin_addr, text, sizeof text);
  return text;
}

std::string TSocketAddress::TextWithPort() const {
  const std::string port = ":" + std::to_string(Port());
  return IsIPv6() ? "[" + Text() + "]" + port : Text() + port;
}

uint16_t TSocketAddress::Port() const {
  return ntohs(IsIPv6() ? V6().sin6_port : V4().sin_port);
}

TSocketAddress TSocketAddress::WithPort(uint16_t port) const {
  TSocketAddress result = *this;
  (IsIPv6() ? result.V6().sin6_port : result.V4().sin_port) = htons(port);
  return result;
}

in_addr_t TSocketAddress::IPv4() const {
  return IsIPv6() ? INADDR_ANY : V4().sin_addr.s_addr;
}

int TSocketAddress::NativeLength() const {
  return IsIPv6() ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}
