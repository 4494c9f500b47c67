// isoview-fetch [OPTION...] URL FILE: one Get of URL into FILE (created or truncated
// first) with the program's HTTP client, set up by the options as the program would fetch
// a source; once the request has ended it prints what the request gave. Exit 0 when the
// request succeeded; 1 when it failed (a non-zero Error or a final status of 400 or more),
// the file cannot be made or Get raised; 2 on bad usage.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "http/http_cli.h"
#include "http/url_helpers.h"
#include "runtime/stream.h"
#include "tools/isoview_fetch/fetch_options.h"

namespace {

constexpr int kExitSucceeded = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// A final status from here on is the server's refusal, not the document.
constexpr int kFirstFailedStatus = 400;

int Fetch(const TFetchOptions& options) {
  auto file = std::make_unique<TFileStream>(options.file, fmCreate);
  THttpCli client;
  ApplyFetchOptions(options, client);
  client.URL = options.url;
  client.RcvdStream = file.get();
  uint16_t doneError = 0;
  client.OnRequestDone = [&](THttpCli* sender, THttpRequest, uint16_t error) {
    doneError = error;
    sender->RcvdStream = nullptr;
    file.reset();  // closed before Get returns, as the fetch job does
  };
  client.Get();
  std::printf(
      "StatusCode: %d\nReasonPhrase: %s\nContentLength: %lld\nContentType: %s\n"
      "RcvdBytes: %lld\nError: %u\nLocation: %s\n",
      client.StatusCode(), client.ReasonPhrase().c_str(),
      static_cast<long long>(client.ContentLength()), client.ContentType().c_str(),
      static_cast<long long>(client.RcvdBytes()), doneError,
      UrlWithoutPassword(client.Location()).c_str());
  const bool failed = doneError != 0 || client.StatusCode() >= kFirstFailedStatus;
  return failed ? kExitFailed : kExitSucceeded;
}

}  // namespace

int main(int argc, char** argv) {
  TFetchOptions options;
  std::string error;
  if (!ParseFetchOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "isoview-fetch: %s\n%s", error.c_str(), kFetchUsage);
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kFetchUsage, stdout);
    return kExitSucceeded;
  }
  try {
    return Fetch(options);
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s\n", E.what());
    return kExitFailed;
  }
}
