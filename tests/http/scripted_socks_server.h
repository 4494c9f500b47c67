#pragma once
// A SOCKS server on 127.0.0.1 that answers one connection with fixed bytes: each step
// waits for the next piece of the client's negotiation and sends its reply.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/http/loopback_server.h"

struct TSocksStep {
  size_t await = 0;   // the step fires once this many more bytes came ...
  std::string until;  // ... or, when set, once this text came (an HTTP request's end)
  std::string reply;
  bool close = false;  // the server closes after the reply
};

class TScriptedSocksServer {
 public:
  explicit TScriptedSocksServer(std::vector<TSocksStep> steps);

  const std::string& Port() const { return server_.Port(); }
  // Every byte the client sent.
  std::string received;

 private:
  std::vector<TSocksStep> steps_;
  size_t step_ = 0;
  size_t consumed_ = 0;
  TLoopbackServer server_;

  bool StepDue(size_t& length) const;
};

// Bytes from their values, e.g. Bytes({5, 0}).
std::string Bytes(std::initializer_list<int> values);
