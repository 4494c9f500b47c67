#pragma once
// A certificate authority of its own for tests of TLS: made afresh with OpenSSL in a
// temporary folder, it issues server certificates for given names and validity.

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// A certificate and its private key, as PEM files.
struct TCertificateFiles {
  std::string Certificate;
  std::string Key;
};

class TTestCa {
 public:
  // The authority's certificate goes to dir as <name>-ca.pem.
  TTestCa(const TempDir& dir, const std::string& name);

  const std::string& CertificateFile() const { return certificateFile_; }

  // A server certificate named <name>.pem (key <name>-key.pem) for the names (host names
  // or dotted addresses), valid from fromDays to toDays counted from now (negative: past).
  TCertificateFiles Issue(const std::string& name, const std::vector<std::string>& names,
                          int fromDays = -1, int toDays = 30) const;

 private:
  struct TKeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  };
  struct TX509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
  };
  const TempDir& dir_;
  std::unique_ptr<EVP_PKEY, TKeyDeleter> key_;
  std::unique_ptr<X509, TX509Deleter> certificate_;
  std::string certificateFile_;
};
