#pragma once
// A check of chart sources: asks every URL's server for the first bytes of its document,
// several at a time, with the program's own client, and says what they are; it downloads
// no whole chart and writes no file. Each URL gets a GET of its first 64 KiB (a Range),
// ended by the client's own rules of a reply's end, or by the check once those bytes are
// in; redirects are followed as a fetch follows them. A 2xx reply whose bytes are no
// picture (an error page served as 200) fails the check. Runs on the thread's message
// loop: Start returns at once and the results come from the loop.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "http/http_request_header.h"
#include "http/proxy_env.h"

class THttpCli;

struct TSourceCheckResult {
  std::string Url;     // as given
  bool Ok = false;     // a 2xx reply after the redirects, complete, whose bytes are a picture
  int StatusCode = 0;  // 0 when no HTTP reply came (refused, TLS, time-out, cancelled)
  // "200 OK", "404 Not Found", "200 but not an image: text/html", "Connection refused ...",
  // "Transfer closed with ...", "Cancelled"
  std::string Status;
  std::string Content;  // what the first bytes are: "image/gif 1728x2200"; empty when not
                        // a picture
  std::string ContentType;
  std::int64_t ContentLength = -1;  // -1: not given
  std::string LastModified;
  std::string FinalUrl;           // where the redirects ended; empty when not redirected
  bool MovedPermanently = false;  // some hop was 301 or 308
  // Where the hops from the start lead while each is 301 or 308: the URL to use instead
  // of Url. Empty when the first hop was temporary or there was none. It stops before a
  // temporary hop, whose target may change tomorrow.
  std::string PermanentUrl;
};

struct TSourceCheckOptions {
  // Seconds a request may go without progress; the program's client time-out.
  std::int32_t Timeout = THttpRequestSettings().Timeout;
  // The proxies are chosen from these variables for each URL (proxy_env.h); none: the
  // clients keep their own settings (direct, unless SetUpClient says otherwise).
  std::optional<TProxyEnvironment> Proxies = ProcessProxyEnvironment();
  std::size_t Concurrency = 4;
  // Runs on the client before each request, its URL set, after the settings above: a
  // caller's own settings (the command line's, which may depend on the URL).
  std::function<void(THttpCli&)> SetUpClient;
};

inline constexpr const char* kSourceCheckCancelledText = "Cancelled";

// Not to be destroyed from inside its own OnResult or OnFinished.
class TSourceCheck {
 public:
  explicit TSourceCheck(TSourceCheckOptions options = {});
  ~TSourceCheck();
  TSourceCheck(const TSourceCheck&) = delete;
  TSourceCheck& operator=(const TSourceCheck&) = delete;

  // Checks urls; blank ones are skipped and a repeated one is checked once. A check that
  // is still running is cancelled first. With nothing to check OnFinished runs at once.
  void Start(std::vector<std::string> urls);
  // Aborts the running requests and reports them and the URLs not yet started as
  // cancelled, then OnFinished runs; nothing more comes of this check.
  void Cancel();

  bool Running() const { return running_; }
  // The URLs of the check, blanks and repeats removed: the indexes OnResult gives.
  const std::vector<std::string>& Urls() const { return urls_; }
  std::size_t Total() const { return urls_.size(); }
  std::size_t Done() const { return done_; }

  std::function<void(std::size_t index, const TSourceCheckResult& result)> OnResult;
  std::function<void()> OnFinished;

 private:
  struct TSlot;

  TSourceCheckOptions options_;
  std::vector<std::unique_ptr<TSlot>> slots_;
  // Clients aborted and replaced before their end was delivered; kept until destruction so
  // that no client is destroyed inside its own event.
  std::vector<std::unique_ptr<TSlot>> retired_;
  std::vector<std::string> urls_;
  std::size_t next_ = 0;
  std::size_t done_ = 0;
  bool running_ = false;
  bool filling_ = false;

  std::unique_ptr<TSlot> NewSlot();
  void PrepareSlots();
  void FillSlots();
  void Launch(TSlot& slot, std::size_t index);
  void StartRequest(TSlot& slot);
  void RequestDone(TSlot& slot, std::uint16_t error);
  void HeaderEnd(TSlot& slot);
  void FirstBytes(TSlot& slot);
  void Finish(TSlot& slot, TSourceCheckResult result);
  void Report(std::size_t index, const TSourceCheckResult& result);
  void EndWhenAllDone();
};
