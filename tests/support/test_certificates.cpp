#include "tests/support/test_certificates.h"

#include <arpa/inet.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr long kSecondsPerDay = 24 * 60 * 60;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("test certificates: " + what);
}

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (key == nullptr) Fail("no key");
  return key;
}

void SetName(X509_NAME* name, const std::string& commonName) {
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (extension == nullptr) Fail("bad extension " + value);
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for key under subject, valid between the two day offsets; self-issued
// when issuer is null.
X509* NewCertificate(EVP_PKEY* key, const std::string& subject, int fromDays, int toDays) {
  static long serial = 1;
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++);
  X509_gmtime_adj(X509_getm_notBefore(certificate), fromDays * kSecondsPerDay);
  X509_gmtime_adj(X509_getm_notAfter(certificate), toDays * kSecondsPerDay);
  X509_set_pubkey(certificate, key);
  SetName(X509_get_subject_name(certificate), subject);
  return certificate;
}

void Sign(X509* certificate, X509* issuer, EVP_PKEY* issuerKey) {
  X509_set_issuer_name(certificate, X509_get_subject_name(issuer));
  if (X509_sign(certificate, issuerKey, EVP_sha256()) == 0) Fail("cannot sign");
}

template <typename Writer>
void WritePem(const std::string& file, Writer write) {
  FILE* out = std::fopen(file.c_str(), "w");
  if (out == nullptr) Fail("cannot write " + file);
  const bool written = write(out);
  std::fclose(out);
  if (!written) Fail("cannot write " + file);
}

bool IsAddress(const std::string& name) {
  in6_addr address{};
  return inet_pton(AF_INET, name.c_str(), &address) == 1 ||
         inet_pton(AF_INET6, name.c_str(), &address) == 1;
}

std::string AltNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : ",") + std::string(IsAddress(name) ? "IP:" : "DNS:") + name;
  return text;
}

}  // namespace

TTestCa::TTestCa(const TempDir& dir, const std::string& name)
    : dir_(dir), key_(NewKey()), certificateFile_(dir.File(name + "-ca.pem")) {
  certificate_.reset(NewCertificate(key_.get(), "Isoview Test CA " + name, -1, 365));
  X509* ca = certificate_.get();
  AddExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(ca, ca, NID_subject_key_identifier, "hash");
  Sign(ca, ca, key_.get());
  WritePem(certificateFile_, [&](FILE* out) { return PEM_write_X509(out, ca) == 1; });
}

TCertificateFiles TTestCa::Issue(const std::string& name, const std::vector<std::string>& names,
                                 int fromDays, int toDays) const {
  const std::unique_ptr<EVP_PKEY, TKeyDeleter> key(NewKey());
  const std::unique_ptr<X509, TX509Deleter> certificate(
      NewCertificate(key.get(), names.empty() ? name : names.front(), fromDays, toDays));
  X509* leaf = certificate.get();
  AddExtension(leaf, certificate_.get(), NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(leaf, certificate_.get(), NID_ext_key_usage, "serverAuth");
  AddExtension(leaf, certificate_.get(), NID_authority_key_identifier, "keyid");
  if (!names.empty()) AddExtension(leaf, certificate_.get(), NID_subject_alt_name, AltNames(names));
  Sign(leaf, certificate_.get(), key_.get());
  const TCertificateFiles files{dir_.File(name + ".pem"), dir_.File(name + "-key.pem")};
  WritePem(files.Certificate, [&](FILE* out) { return PEM_write_X509(out, leaf) == 1; });
  WritePem(files.Key, [&](FILE* out) {
    return PEM_write_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  });
  return files;
}
