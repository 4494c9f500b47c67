// isoview-fetch [--timeout SECONDS] URL FILE: one Get of URL into FILE (created or
// truncated first) with the program's HTTP client; once the request has ended it prints
// what the request gave. Exit 0 when the request ended, whatever its status; 2 on bad
// usage; 1 when the file cannot be made or Get raised.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "http/http_cli.h"
#include "runtime/conversion.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

constexpr int kExitEnded = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr const char* kUsage = "usage: isoview-fetch [--timeout SECONDS] URL FILE";

struct TArguments {
  int timeout = THttpRequestSettings().Timeout;
  std::string url;
  std::string file;
};

bool Parse(const std::vector<std::string>& args, TArguments& parsed) {
  size_t i = 0;
  if (args.size() == 4 && args[0] == "--timeout") {
    try {
      const int64_t seconds = StrToInt(args[1]);
      if (seconds < 0 || seconds > INT32_MAX) return false;
      parsed.timeout = static_cast<int>(seconds);
    } catch (const EConvertError&) {
      return false;
    }
    i = 2;
  }
  if (args.size() != i + 2) return false;
  parsed.url = args[i];
  parsed.file = args[i + 1];
  return true;
}

int Fetch(const TArguments& args) {
  auto file = std::make_unique<TFileStream>(args.file, fmCreate);
  THttpCli client;
  client.Timeout = args.timeout;
  client.URL = args.url;
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
      static_cast<long long>(client.RcvdBytes()), doneError, client.Location().c_str());
  return kExitEnded;
}

}  // namespace

int main(int argc, char** argv) {
  TArguments args;
  if (!Parse(std::vector<std::string>(argv + 1, argv + argc), args)) {
    std::fprintf(stderr, "%s\n", kUsage);
    return kExitUsage;
  }
  try {
    return Fetch(args);
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s\n", E.what());
    return kExitFailed;
  }
}
