#pragma once
// Every host-name lookup of the socket layer (the blocking resolver and the asynchronous
// DnsLookup) goes through LookupHost, which asks the system's getaddrinfo for the
// addresses of both families. Tests put their own answer in its place for as long as a
// TScopedHostLookup lives:
//
//   TScopedHostLookup hook([](const std::string& name) {
//     return name == "dual.test" ? THostLookupResult{0, name, {"::1", "127.0.0.1"}}
//                                : THostLookupResult{WSAHOST_NOT_FOUND, "", {}};
//   });
//
// The answer may be asked for on any thread (lookups run on worker threads), so a hook
// must not touch state of the test's thread without its own locking.

#include <functional>
#include <string>
#include <vector>

#include "runtime/replaceable.h"

struct THostLookupResult {
  int Error = 0;                       // a Windows Sockets error number; 0 when found
  std::string CanonicalName;           // the official name, or the name asked for
  std::vector<std::string> Addresses;  // numeric IPv4 and IPv6 texts, the system's order
};

using THostLookup = std::function<THostLookupResult(const std::string& name)>;

// The addresses of name from the hook in place, else from getaddrinfo.
THostLookupResult LookupHost(const std::string& name);

// The lookup in place of the system's while a TScopedHostLookup lives.
TReplaceable<THostLookup>& HostLookupHook();

// Answers every lookup with hook while it lives, then restores the lookup it replaced.
class TScopedHostLookup : public TScopedReplacement<THostLookup> {
 public:
  explicit TScopedHostLookup(THostLookup hook)
      : TScopedReplacement(HostLookupHook(), std::move(hook)) {}
};
