#include "http/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include "runtime/winsock_errors.h"

namespace {

THostLookupResult SystemLookup(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  THostLookupResult result;
  result.Error = WinsockErrorFromAddrInfo(::getaddrinfo(name.c_str(), nullptr, &hints, &found));
  if (result.Error != 0) return result;
  result.CanonicalName = found->ai_canonname ? found->ai_canonname : name;
  for (const addrinfo* item = found; item; item = item->ai_next) {
    char text[INET6_ADDRSTRLEN] = "";
    const void* address =
        item->ai_family == AF_INET6
            ? static_cast<const void*>(
                  &reinterpret_cast<const sockaddr_in6*>(item->ai_addr)->sin6_addr)
            : static_cast<const void*>(
                  &reinterpret_cast<const sockaddr_in*>(item->ai_addr)->sin_addr);
    if (::inet_ntop(item->ai_family, address, text, sizeof text) != nullptr)
      result.Addresses.emplace_back(text);
  }
  ::freeaddrinfo(found);
  return result;
}

}  // namespace

THostLookupResult LookupHost(const std::string& name) {
  const std::shared_ptr<const THostLookup> current = HostLookupHook().Current();
  return current ? (*current)(name) : SystemLookup(name);
}

TReplaceable<THostLookup>& HostLookupHook() {
  static TReplaceable<THostLookup> hook;
  return hook;
}
