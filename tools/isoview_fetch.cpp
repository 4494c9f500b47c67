// isoview-fetch [OPTION...] URL FILE: one Get of URL into FILE (created or truncated
// first) with the program's HTTP client, set up by the options as the program would fetch
// a source; once the request has ended it prints what the request gave. Exit 0 when the
// request succeeded; 1 when it failed (a non-zero Error or a final status of 400 or more),
// the file cannot be made or Get raised; 2 on bad usage. With --check LIST it checks the
// sources of a list file instead and prints a line for each (tools/isoview_fetch/
// check_list.h).

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "http/http_cli.h"
#include "http/url_helpers.h"
#include "runtime/message_loop.h"
#include "runtime/stream.h"
#include "runtime/text_file.h"
#include "source_check/source_check.h"
#include "tools/isoview_fetch/check_list.h"
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

// The lines are printed in the list's order once every source has answered.
int CheckSources(const TFetchOptions& options, const std::vector<std::string>& urls) {
  TSourceCheckOptions checkOptions;
  checkOptions.Timeout = options.timeout;
  checkOptions.Proxies = std::nullopt;  // the options choose them, as for one URL
  checkOptions.SetUpClient = [&options](THttpCli& client) {
    TFetchOptions forUrl = options;
    forUrl.url = client.URL;
    ApplyFetchOptions(forUrl, client);
  };
  TSourceCheck check(checkOptions);
  std::vector<TSourceCheckResult> results;
  bool finished = false;
  check.OnResult = [&results](std::size_t index, const TSourceCheckResult& result) {
    if (results.size() <= index) results.resize(index + 1);
    results[index] = result;
  };
  check.OnFinished = [&finished] { finished = true; };
  check.Start(urls);
  MessageLoop& loop = MessageLoop::Current();
  while (!finished) {
    loop.ProcessMessages();
    if (!finished) loop.WaitMessage(-1);
  }
  bool anyFailed = false;
  for (const TSourceCheckResult& result : results) {
    std::printf("%s\n", CheckLine(result).c_str());
    anyFailed = anyFailed || !result.Ok;
  }
  return anyFailed ? kExitFailed : kExitSucceeded;
}

int Check(const TFetchOptions& options) {
  std::vector<std::string> lines;
  try {
    lines = ReadTextFile(options.checkFile);
  } catch (const std::exception& E) {
    std::fprintf(stderr, "isoview-fetch: %s\n", E.what());
    return kExitUsage;
  }
  return CheckSources(options, ListFileUrls(lines));
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
    return options.checkFile.empty() ? Fetch(options) : Check(options);
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s\n", E.what());
    return kExitFailed;
  }
}
