#pragma once
// A TCP server on loopback (127.0.0.1 unless another address is given) made of the socket
// component itself: a listening socket on an ephemeral port (or the one given) that adopts
// every connection into a socket of its own.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/custom_wsocket.h"

class TLoopbackServer {
 public:
  // Called for each connection once it is adopted (before its first event).
  using TAccepted = std::function<void(TCustomWSocket& connection)>;

  explicit TLoopbackServer(TAccepted accepted = nullptr, const std::string& address = "127.0.0.1",
                           const std::string& port = "0");

  const std::string& Port() const { return port_; }
  std::vector<std::unique_ptr<TCustomWSocket>>& Connections() { return connections_; }
  TCustomWSocket& Listener() { return listener_; }

 private:
  TCustomWSocket listener_;
  std::string port_;
  std::vector<std::unique_ptr<TCustomWSocket>> connections_;
  TAccepted accepted_;
};

// Writes the events of a socket down as text, e.g. "ChangeState(wsClosed,wsOpened)",
// "SessionConnected(0)", "DataSent(0)".
class TEventRecorder {
 public:
  explicit TEventRecorder(TCustomWSocket& socket);

  std::vector<std::string> events;
  // Without a reader, OnDataAvailable stays empty; with one it is called after recording.
  std::function<void(TCustomWSocket& socket)> reader;

 private:
  void Record(const std::string& event, int value) {
    events.push_back(event + "(" + std::to_string(value) + ")");
  }
};

const char* StateName(TSocketState state);
