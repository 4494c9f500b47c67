#pragma once
// Debian's SOCKS server danted as a child process on 127.0.0.1, with a configuration
// written for the test in a temporary folder, and a system user for its user and password
// method. When either cannot be had, Reason() says why. Its outside (where it connects
// from, and the bound address it reports) is 127.0.0.1, or ::1 when asked: it then reaches
// only IPv6 targets.

#include <csignal>
#include <cstdint>
#include <string>

#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

enum class TDantedMethod { None, Username };
// Detailed: danted also logs each request as the client sent it (its debug output, about
// a thousand lines a connection), e.g. "ATYP: 3 address: localhost.8080".
enum class TDantedLog { Connections, Detailed };

class TDantedServer {
 public:
  explicit TDantedServer(TDantedMethod method, TDantedLog log = TDantedLog::Connections,
                         const std::string& external = "127.0.0.1");
  TDantedServer(const TDantedServer&) = delete;
  TDantedServer& operator=(const TDantedServer&) = delete;

  bool Running() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }
  const std::string& Port() const { return port_; }
  // What danted logged so far: every connection it made for a client.
  std::string Log() const;
  // How many connections it made for clients to 127.0.0.1:port so far.
  int Relayed(uint16_t port) const;

 private:
  TempDir dir_;
  std::string port_;
  std::string reason_;
  // danted serves from child processes of its own: the group ends with it.
  TServerProcess process_{SIGTERM};

  void WriteConfiguration(TDantedMethod method, TDantedLog log, const std::string& external) const;
};

// A system user with a random name and password, removed again when the object goes.
class TSystemUser {
 public:
  TSystemUser();
  ~TSystemUser();
  TSystemUser(const TSystemUser&) = delete;
  TSystemUser& operator=(const TSystemUser&) = delete;

  bool Made() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }
  const std::string& Name() const { return name_; }
  const std::string& Password() const { return password_; }

 private:
  std::string name_;
  std::string password_;
  std::string reason_;
};
