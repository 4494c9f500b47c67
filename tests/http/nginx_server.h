#pragma once
// Debian's nginx on loopback with a configuration written for the test into a temporary
// folder: one site on three origins that all serve the same folder of files,
//   Plain   http://127.0.0.1:P and http://127.0.0.2:P (the second address: another host),
//           and http://[::1]:P,
//   Other   http://127.0.0.1:Q (another port),
//   Secure  https://localhost:S and https://[::1]:S (a certificate of the server's own test
//           authority),
// and on each of them these paths:
//   /redirect/CODE/absolute/PATH  CODE (301 302 303 307 308) to http(s)://HOST:PORT/PATH
//   /redirect/CODE/relative/PATH  CODE to "/PATH", a Location without scheme and host
//   .../to-other-port/PATH, .../to-other-host/PATH, .../to-plain-http/PATH
//                                 302 to PATH on Other, on 127.0.0.2:P, on
//                                 http://localhost:P (from anywhere in a path)
//   /private/...                  needs Basic authorization as User():Password()
//   /slow/...                     sent at a limited rate, in many small pieces
// Files are written into the folder with Put at any time.

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/access_log.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

class TNginxServer {
 public:
  TNginxServer();

  bool Running() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }

  uint16_t PlainPort() const { return plainPort_; }
  uint16_t OtherPort() const { return otherPort_; }
  uint16_t SecurePort() const { return securePort_; }
  // The authority that signed the secure origin's certificate, for SSL_CERT_FILE.
  const std::string& AuthorityFile() const { return authority_.CertificateFile(); }
  static const char* User() { return "chartuser"; }
  static const char* Password() { return "s3cret"; }

  // Writes bytes as the file at path (below the served folder; folders are made).
  void Put(const std::string& path, const std::string& bytes) const;
  // The records of the requests that came since the last call, once at least count have.
  std::vector<TRequestRecord> NextRecords(size_t count) { return log_.Next(count); }
  std::string ErrorLog() const;

 private:
  TempDir dir_;
  TTestCa authority_{dir_, "nginx"};
  uint16_t plainPort_, otherPort_, securePort_;
  TAccessLog log_{dir_.File("access.log")};
  std::string reason_;
  TServerProcess process_{SIGTERM};

  void WriteConfiguration() const;
  std::string Locations() const;
};
