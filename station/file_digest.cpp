#include "station/file_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <memory>

namespace {

struct TCloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct TFreeDigest {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string Hex(const unsigned char* bytes, unsigned int size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

}  // namespace

std::string FileDigest(const std::string& fileName) {
  const std::unique_ptr<std::FILE, TCloseFile> file(std::fopen(fileName.c_str(), "rb"));
  const std::unique_ptr<EVP_MD_CTX, TFreeDigest> context(EVP_MD_CTX_new());
  if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
  std::array<unsigned char, 64 * 1024> buffer;
  for (size_t read; (read = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0;)
    if (EVP_DigestUpdate(context.get(), buffer.data(), read) != 1) return {};
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest;
  unsigned int size = 0;
  if (std::ferror(file.get()) || EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1)
    return {};
  return Hex(digest.data(), size);
}
