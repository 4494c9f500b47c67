#include "http/no_proxy.h"

#include <arpa/inet.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "runtime/strings.h"

namespace {

constexpr char kSeparators[] = ", \t\r\n";

enum class THostKind { kName, kIPv4, kIPv6 };

struct TAddress {
  THostKind kind = THostKind::kName;
  std::array<uint8_t, 16> bytes{};
  int bits = 0;  // of bytes, all of them for an address
};

TAddress ParseAddress(const std::string& text) {
  TAddress address;
  if (::inet_pton(AF_INET, text.c_str(), address.bytes.data()) == 1) {
    address.kind = THostKind::kIPv4;
    address.bits = 32;
  } else if (::inet_pton(AF_INET6, text.c_str(), address.bytes.data()) == 1) {
    address.kind = THostKind::kIPv6;
    address.bits = 128;
  }
  return address;
}

std::string WithoutTrailingDot(std::string text) {
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::string WithoutBrackets(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    return host.substr(1, host.size() - 2);
  return host;
}

std::vector<std::string> Entries(const std::string& list) {
  std::vector<std::string> entries;
  size_t at = list.find_first_not_of(kSeparators);
  while (at != std::string::npos) {
    const size_t end = list.find_first_of(kSeparators, at);
    entries.push_back(list.substr(at, end - at));
    at = list.find_first_not_of(kSeparators, end);
  }
  return entries;
}

bool NameMatches(const std::string& host, std::string entry) {
  entry = LowerCase(WithoutTrailingDot(entry));
  if (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
  if (entry.empty() || entry.size() > host.size()) return false;
  if (entry.size() == host.size()) return entry == host;
  const size_t tail = host.size() - entry.size();
  return host[tail - 1] == '.' && host.compare(tail, std::string::npos, entry) == 0;
}

// "address" or "address/bits"; bits beyond the address's own never match (as in curl).
bool AddressMatches(const TAddress& host, const std::string& entry) {
  const size_t slash = entry.find('/');
  const TAddress network = ParseAddress(entry.substr(0, slash));
  if (network.kind != host.kind) return false;
  int bits = network.bits;
  if (slash != std::string::npos) {
    const std::string digits = entry.substr(slash + 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
        digits.size() > 3)
      return false;
    bits = std::atoi(digits.c_str());
    if (bits > network.bits) return false;
    if (bits == 0) bits = network.bits;
  }
  for (int bit = 0; bit < bits; ++bit) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
    if ((host.bytes[bit / 8] & mask) != (network.bytes[bit / 8] & mask)) return false;
  }
  return true;
}

}  // namespace

bool NoProxyMatches(const std::string& host, const std::string& list) {
  if (Trim(list) == "*") return true;
  const std::string name = LowerCase(WithoutTrailingDot(WithoutBrackets(host)));
  if (name.empty()) return false;
  const TAddress address = ParseAddress(name);
  for (const std::string& entry : Entries(list)) {
    const bool match = address.kind == THostKind::kName ? NameMatches(name, entry)
                                                        : AddressMatches(address, entry);
    if (match) return true;
  }
  return false;
}
