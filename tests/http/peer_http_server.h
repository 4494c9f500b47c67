#pragma once
// What the peer HTTP servers of the tests that are configured alike (Apache httpd,
// lighttpd) share: a temporary folder whose www/ they serve, a loopback port chosen at run
// time, the access log they write in a format of tests/support/access_log.h into the
// folder, and their process group, which ends with the object.

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/access_log.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

class TPeerHttpServer {
 public:
  bool Running() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }
  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;

  // Writes bytes as the file at path below the served folder (folders are made).
  void Put(const std::string& path, const std::string& bytes) const;
  // The records of the requests that came since the last call, once at least count have.
  std::vector<TRequestRecord> NextRecords(size_t count) { return log_.Next(count); }

 protected:
  TPeerHttpServer();
  // Runs the server; when it does not start, Reason names it with its error.log.
  void Start(const std::string& name, const std::vector<std::string>& command);
  const TempDir& Dir() const { return dir_; }

 private:
  TempDir dir_;
  uint16_t port_;
  TAccessLog log_{dir_.File("access.log")};
  std::string reason_;
  // Such servers serve from child processes: the group ends with them.
  TServerProcess process_{SIGTERM};
};
