// Feeds SplitURL (and the helpers the HTTP client applies to its results) with arbitrary
// text: the input is "base path" LF "URL", as a Location header meets the previous path.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/url_helpers.h"

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  std::string path = newline == std::string::npos ? "" : input.substr(0, newline);
  const std::string url = newline == std::string::npos ? input : input.substr(newline + 1);

  TUrlParts parts;
  SplitURL(url, parts, path);
  // An absolute URL's path is its tail, and the parts are cut from it.
  if (!StartsWith(url, "./") && !StartsWith(url, "../")) {
    if (!EndsWith(url, path)) abort();
    for (const std::string* part : {&parts.user, &parts.password, &parts.host, &parts.port})
      if (url.find(*part) == std::string::npos) abort();
  }
  const std::string prefix = PathPrefix(path);
  if (!StartsWith(path, prefix)) abort();
  if (DeriveDocumentName(path).size() > 255) abort();
  if (Base64Encode(parts.host).size() != (parts.host.size() + 2) / 3 * 4) abort();
  return 0;
}
