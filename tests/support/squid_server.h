#pragma once
// Debian's squid as an HTTP proxy on loopback, on a port chosen at run time, with a
// configuration written for the test into a temporary folder; with proxy authentication
// it asks for Basic credentials checked by basic_ncsa_auth against a file made with
// openssl. It opens tunnels to any port unless told to refuse them. It caches nothing, so that
// every request reaches the origin server.

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

enum class TSquidAuthentication { None, Basic };
// Whether squid opens tunnels (CONNECT) for its clients, to any port.
enum class TSquidTunnels { Allowed, Refused };

// What squid logged of one request it took.
struct TProxyRecord {
  std::string Request;  // "GET http://host:port/path"
  std::string Status;   // what squid answered the client
  std::string User;     // the proxy user it authenticated, or "-"
};

class TSquidServer {
 public:
  explicit TSquidServer(TSquidAuthentication authentication,
                        TSquidTunnels tunnels = TSquidTunnels::Allowed);
  ~TSquidServer();
  TSquidServer(const TSquidServer&) = delete;
  TSquidServer& operator=(const TSquidServer&) = delete;

  bool Running() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }
  uint16_t Port() const { return port_; }
  static const char* User() { return "forecaster"; }
  static const char* Password() { return "pr0xy-pass"; }

  // The records of the requests that came since the last call, once at least count have.
  std::vector<TProxyRecord> NextRecords(size_t count);

 private:
  TempDir dir_;
  uint16_t port_;
  std::string service_;  // names squid's shared memory, one per server
  size_t seen_ = 0;
  std::string reason_;
  // squid's orderly shutdown takes seconds; nothing of it outlives the folder.
  TServerProcess process_{SIGKILL};

  void WriteConfiguration(TSquidAuthentication authentication, TSquidTunnels tunnels) const;
  void HandOverToProxyUser() const;
};
