#include "fetch/source_check.h"

#include <algorithm>
#include <set>

#include "fetch/source_check_reply.h"
#include "http/http_cli.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

// Servers that do not do HEAD say so with these.
constexpr int kMethodNotAllowed = 405;
constexpr int kNotImplemented = 501;
constexpr int kPermanentRedirects[] = {301, 308};
// The GET that stands in for a refused HEAD asks for no more than this.
constexpr char kFirstBytesRange[] = "Range: bytes=0-1023";

bool Successful(int statusCode) {
  return statusCode >= 200 && statusCode <= 299;
}

std::vector<std::string> WithoutBlanksAndRepeats(std::vector<std::string> urls) {
  std::vector<std::string> kept;
  std::set<std::string> seen;
  for (std::string& url : urls)
    if (!Trim(url).empty() && seen.insert(url).second) kept.push_back(std::move(url));
  return kept;
}

// Report fills in the URL.
TSourceCheckResult FailedResult(const std::string& reason) {
  TSourceCheckResult result;
  result.Status = reason;
  return result;
}

}  // namespace

// One client and the URL it is checking.
struct TSourceCheck::TSlot {
  THttpCli client;
  std::optional<std::size_t> index;  // none while the slot is free
  bool head = true;                  // false: the GET that stands in for a refused HEAD
  bool connected = false;            // this leg reached the server
  bool redirected = false;
  bool movedPermanently = false;
  bool temporaryHop = false;  // a hop so far was not 301 or 308
  std::string permanentUrl;
  std::optional<TSourceCheckResult> reply;  // taken when the final reply's header was in
  bool endPending = false;  // cancelled: the aborted request's OnRequestDone is still to come
};

TSourceCheck::TSourceCheck(TSourceCheckOptions options) : options_(std::move(options)) {
  options_.Concurrency = std::max<std::size_t>(options_.Concurrency, 1);
}

TSourceCheck::~TSourceCheck() = default;

std::unique_ptr<TSourceCheck::TSlot> TSourceCheck::NewSlot() {
  auto slot = std::make_unique<TSlot>();
  TSlot& s = *slot;
  THttpCli& client = s.client;
  client.Timeout = options_.Timeout;
  if (options_.Proxies) client.SetProxyEnvironment(*options_.Proxies);
  client.OnSessionConnected = [&s](THttpCli*) { s.connected = true; };
  client.OnLocationChange = [&s](THttpCli* sender) {
    s.redirected = true;
    s.connected = false;
    const bool permanent = std::ranges::count(kPermanentRedirects, sender->StatusCode()) > 0;
    s.movedPermanently |= permanent;
    s.temporaryHop |= !permanent;
    if (!s.temporaryHop) s.permanentUrl = sender->Location();
  };
  client.OnBeforeHeaderSend = [&s](THttpCli*, const std::string& method,
                                   std::vector<std::string>& lines) {
    if (method == "GET" && !s.head) lines.push_back(kFirstBytesRange);
  };
  client.OnHeaderEnd = [this, &s](THttpCli*) { HeaderEnd(s); };
  client.OnRequestDone = [this, &s](THttpCli*, THttpRequest, uint16_t error) {
    RequestDone(s, error);
  };
  return slot;
}

void TSourceCheck::Start(std::vector<std::string> urls) {
  Cancel();
  urls_ = WithoutBlanksAndRepeats(std::move(urls));
  next_ = done_ = 0;
  running_ = true;
  PrepareSlots();
  FillSlots();
}

// A client whose cancelled request has not told its end yet is replaced: that end would
// otherwise be taken for the end of the next request.
void TSourceCheck::PrepareSlots() {
  for (auto& slot : slots_) {
    if (!slot->endPending) continue;
    slot->client.OnRequestDone = nullptr;
    slot->client.OnHeaderEnd = nullptr;
    retired_.push_back(std::move(slot));
    slot = NewSlot();
  }
  while (slots_.size() < std::min(options_.Concurrency, urls_.size())) slots_.push_back(NewSlot());
}

void TSourceCheck::Cancel() {
  if (!running_) return;
  running_ = false;
  const TSourceCheckResult cancelled = FailedResult(kSourceCheckCancelledText);
  for (auto& slot : slots_) {
    if (!slot->index) continue;
    const std::size_t index = *slot->index;
    slot->index.reset();
    slot->endPending = true;
    slot->client.Abort();
    Report(index, cancelled);
  }
  while (next_ < urls_.size()) Report(next_++, cancelled);
  if (OnFinished) OnFinished();
}

// Starts URLs on the free slots. A start that fails at once ends its URL here and frees
// its slot again, so the loop goes on rather than recursing.
void TSourceCheck::FillSlots() {
  if (filling_) return;
  filling_ = true;
  for (auto& slot : slots_)
    while (running_ && !slot->index && next_ < urls_.size()) Launch(*slot, next_++);
  filling_ = false;
  EndWhenAllDone();
}

void TSourceCheck::Launch(TSlot& slot, std::size_t index) {
  slot.index = index;
  slot.head = true;
  StartRequest(slot, true);
}

void TSourceCheck::StartRequest(TSlot& slot, bool head) {
  slot.head = head;
  slot.connected = slot.redirected = slot.movedPermanently = slot.temporaryHop = false;
  slot.permanentUrl.clear();
  slot.reply.reset();
  slot.client.URL = urls_[*slot.index];
  if (options_.SetUpClient) options_.SetUpClient(slot.client);
  slot.client.RcvdStream = nullptr;  // nothing of a document is kept
  try {
    head ? slot.client.HeadASync() : slot.client.GetASync();
  } catch (const std::exception& E) {
    Finish(slot, FailedResult(E.what()));
  }
}

// The final reply's header is all a check wants: the request ends here, before any body.
void TSourceCheck::HeaderEnd(TSlot& slot) {
  if (!slot.index || slot.reply) return;
  THttpCli& client = slot.client;
  const TReplyFacts facts = ReadReplyFacts(client.HeaderLines());
  if (facts.NamesLocation) return;  // the client follows it
  TSourceCheckResult result;
  result.StatusCode = client.StatusCode();
  result.Status = StatusText(client.StatusCode(), client.ReasonPhrase());
  result.Ok = Successful(client.StatusCode());
  result.ContentType = facts.ContentType;
  result.ContentLength = facts.ContentLength;
  result.LastModified = facts.LastModified;
  slot.reply = result;
  client.Abort();
}

void TSourceCheck::RequestDone(TSlot& slot, uint16_t error) {
  if (slot.endPending) {
    slot.endPending = false;
    return;
  }
  // Ended by HeaderEnd's abort, or by the client itself after a complete header.
  const bool replied = slot.reply && (error == 0 || error == WSAECONNABORTED);
  const bool headRefused =
      replied
          ? slot.reply->StatusCode == kMethodNotAllowed || slot.reply->StatusCode == kNotImplemented
          : slot.connected && error != WSAETIMEDOUT && error != kHttpErrorTooManyRedirects;
  if (slot.head && headRefused) {
    StartRequest(slot, false);
    return;
  }
  TSourceCheckResult result = replied ? *slot.reply : FailedResult(slot.client.ReasonPhrase());
  if (slot.redirected) result.FinalUrl = slot.client.Location();
  result.MovedPermanently = slot.movedPermanently;
  result.PermanentUrl = slot.permanentUrl;
  Finish(slot, std::move(result));
}

void TSourceCheck::Finish(TSlot& slot, TSourceCheckResult result) {
  const std::size_t index = *slot.index;
  slot.index.reset();
  Report(index, result);
  FillSlots();
}

void TSourceCheck::Report(std::size_t index, const TSourceCheckResult& result) {
  ++done_;
  if (!OnResult) return;
  TSourceCheckResult told = result;
  told.Url = urls_[index];
  OnResult(index, told);
}

void TSourceCheck::EndWhenAllDone() {
  if (!running_ || done_ < urls_.size()) return;
  running_ = false;
  if (OnFinished) OnFinished();
}
