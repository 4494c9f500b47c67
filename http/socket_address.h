#pragma once
// An IPv4 or IPv6 address with its port, as the system's socket calls take it.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>

class TSocketAddress {
 public:
  // The IPv4 any-address 0.0.0.0, port 0.
  TSocketAddress();
  // The any-address of family (AF_INET or AF_INET6), port 0.
  static TSocketAddress Any(int family);
  // A numeric IPv6 text ("::1", "2001:db8::5", without brackets) or a strict dotted IPv4
  // one ("127.0.0.1"); nothing for anything else.
  static std::optional<TSocketAddress> FromText(const std::string& text);
  // An IPv4 address in network order.
  static TSocketAddress FromIPv4(in_addr_t address);
  // What getsockname, getpeername, accept or recvfrom wrote.
  static TSocketAddress FromNative(const sockaddr_storage& native);

  int Family() const { return address_.ss_family; }
  bool IsIPv6() const { return Family() == AF_INET6; }
  // The numeric text: "127.0.0.1", "::1".
  std::string Text() const;
  // The address and port as a URL writes them: "127.0.0.1:80", "[::1]:80".
  std::string TextWithPort() const;
  uint16_t Port() const;  // host order
  TSocketAddress WithPort(uint16_t port) const;
  // The IPv4 address in network order, INADDR_ANY for IPv6.
  in_addr_t IPv4() const;

  const sockaddr* Native() const { return reinterpret_cast<const sockaddr*>(&address_); }
  int NativeLength() const;

  friend bool operator==(const TSocketAddress& a, const TSocketAddress& b) {
    return a.Text() == b.Text() && a.Port() == b.Port();
  }

 private:
  sockaddr_in& V4() { return reinterpret_cast<sockaddr_in&>(address_); }
  sockaddr_in6& V6() { return reinterpret_cast<sockaddr_in6&>(address_); }
  const sockaddr_in& V4() const { return reinterpret_cast<const sockaddr_in&>(address_); }
  const sockaddr_in6& V6() const { return reinterpret_cast<const sockaddr_in6&>(address_); }

  sockaddr_storage address_{};
};
