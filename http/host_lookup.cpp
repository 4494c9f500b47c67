#include "http/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <mutex>

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

std::mutex hookMutex;
std::shared_ptr<const THostLookup> hook;  // empty: the system's lookup

std::shared_ptr<const THostLookup> CurrentHook() {
  std::lock_guard lock(hookMutex);
  return hook;
}

std::shared_ptr<const THostLookup> ExchangeHook(std::shared_ptr<const THostLookup> next) {
  std::lock_guard lock(hookMutex);
  hook.swap(next);
  return next;
}

}  // namespace

THostLookupResult LookupHost(const std::string& name) {
  // A copy of the pointer, so a hook replaced meanwhile lives until its answer is given.
  const std::shared_ptr<const THostLookup> current = CurrentHook();
  return current ? (*current)(name) : SystemLookup(name);
}

TScopedHostLookup::TScopedHostLookup(THostLookup hook)
    : replaced_(ExchangeHook(std::make_shared<const THostLookup>(std::move(hook)))) {}

TScopedHostLookup::~TScopedHostLookup() {
  ExchangeHook(std::move(replaced_));
}
