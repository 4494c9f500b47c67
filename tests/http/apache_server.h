#pragma once
// Apache httpd (Debian's apache2-bin) on loopback, on a port chosen at run time, with a
// configuration written for the test into a temporary folder. Apache builds the Location
// of its redirects from the Host header the client sent (UseCanonicalName Off):
//   /moved/PATH   302 to http://HOST/PATH, made by mod_rewrite from the Host header
//   /alias/PATH   302 to /PATH, made absolute by mod_alias
//   /FOLDER       301 to /FOLDER/ by mod_dir, for a folder with an index.html
// Files are written into the served folder with Put at any time.

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/access_log.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

class TApacheServer {
 public:
  TApacheServer();

  bool Running() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }
  uint16_t Port() const { return port_; }

  void Put(const std::string& path, const std::string& bytes) const;
  // The records of the requests that came since the last call, once at least count have.
  std::vector<TRequestRecord> NextRecords(size_t count) { return log_.Next(count); }

 private:
  TempDir dir_;
  uint16_t port_;
  TAccessLog log_{dir_.File("access.log")};
  std::string reason_;
  // httpd serves from child processes: the group ends with it.
  TServerProcess process_{SIGTERM};

  void WriteConfiguration() const;
};
