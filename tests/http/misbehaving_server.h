#pragma once
// An HTTP server on loopback whose every request target misbehaves in its own way, so that
// one server serves a whole table of misbehaviours: a header that never ends, a body
// that never ends or comes a byte at a time, a connection kept open, a cut reply ... Each
// reply is sent once its request is in. A connection that starts with a SOCKS 5 greeting
// is granted as a SOCKS 5 server whose outside is IPv6 grants it (an IPv6 bound address),
// and the HTTP request follows on it.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/http/loopback_server.h"

struct TMisbehaviour {
  std::string head;         // sent first; "{PORT}" stands for the server's port
  std::string repeat;       // then sent again and again ...
  int64_t repeatBytes = 0;  // ... until this many bytes of it went out
  uint32_t paceMs = 0;      // 0: as fast as the client reads; else one repeat per pace
  bool close = true;        // close once all is sent; false: keep the connection open
};

class TMisbehavingServer {
 public:
  // A request for a target that is not in replies (with its query, or else without it)
  // gets a 404.
  explicit TMisbehavingServer(std::map<std::string, TMisbehaviour> replies,
                              const std::string& address = "127.0.0.1");
  ~TMisbehavingServer();
  TMisbehavingServer(const TMisbehavingServer&) = delete;
  TMisbehavingServer& operator=(const TMisbehavingServer&) = delete;

  const std::string& Port() const { return server_.Port(); }
  std::string URL(const std::string& path) const;
  // Each request received, in order, as its request line + " Host: " + its Host value.
  std::vector<std::string> requests;

 private:
  struct TConnection;

  std::map<std::string, TMisbehaviour> replies_;
  std::string address_;
  TWindowHandle window_ = 0;  // the pacing timers'
  std::vector<std::unique_ptr<TConnection>> connections_;
  TLoopbackServer server_;

  void Accepted(TCustomWSocket& socket);
  void Received(TConnection& connection);
  bool Negotiated(TConnection& connection);
  void Answer(TConnection& connection, const std::string& request);
  void SendMore(TConnection& connection);
  void Paced(uintptr_t id);
};
