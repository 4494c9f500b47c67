#include "source_check/source_check.h"

#include <algorithm>
#include <set>

#include "http/http_cli.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"
#include "source_check/image_head.h"
#include "source_check/source_check_reply.h"

namespace {

constexpr int kPermanentRedirects[] = {301, 308};
// Enough of a chart for any picture header to say what it is and how large (a JPEG's frame
// header may come behind some tens of KiB of Exif data); no more is asked for or kept.
constexpr int64_t kFirstBytes = 64 * 1024;
constexpr char kFirstBytesRange[] = "Range: bytes=0-65535";

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

// A 2xx reply passes only when its first bytes are a picture.
void JudgeFirstBytes(const std::vector<uint8_t>& bytes, TSourceCheckResult& result) {
  if (!result.Ok) return;
  const TImageHead head = ReadImageHead(bytes);
  if (!head.MimeType.empty()) {
    result.Content = DescribeImageHead(head);
    return;
  }
  const std::string what = !result.ContentType.empty() ? result.ContentType
                           : bytes.empty()             ? "an empty body"
                                                       : "unknown bytes";
  result.Ok = false;
  result.Status = std::to_string(result.StatusCode) + " but not an image: " + what;
}

}  // namespace

// One client and the URL it is checking.
struct TSourceCheck::TSlot {
  THttpCli client;
  TMemoryStream firstBytes;          // of the document
  std::optional<std::size_t> index;  // none while the slot is free
  bool redirected = false;
  bool movedPermanently = false;
  bool temporaryHop = false;  // a hop so far was not 301 or 308
  std::string permanentUrl;
  std::optional<TSourceCheckResult> reply;  // taken when the last reply's header was in
  bool enough = false;      // the first bytes are in: the check itself ended the request
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
  client.OnLocationChange = [&s](THttpCli* sender) {
    s.redirected = true;
    s.reply.reset();  // the next leg's reply is the one that counts
    const bool permanent = std::ranges::count(kPermanentRedirects, sender->StatusCode()) > 0;
    s.movedPermanently |= permanent;
    s.temporaryHop |= !permanent;
    if (!s.temporaryHop) s.permanentUrl = sender->Location();
  };
  client.OnBeforeHeaderSend = [](THttpCli*, const std::string&, std::vector<std::string>& lines) {
    lines.push_back(kFirstBytesRange);
  };
  client.OnHeaderEnd = [this, &s](THttpCli*) { HeaderEnd(s); };
  client.OnDocData = [this, &s](THttpCli*, const char*, int) { FirstBytes(s); };
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
  StartRequest(slot);
}

void TSourceCheck::StartRequest(TSlot& slot) {
  slot.redirected = slot.movedPermanently = slot.temporaryHop = slot.enough = false;
  slot.permanentUrl.clear();
  slot.reply.reset();
  slot.firstBytes.Clear();
  slot.client.URL = urls_[*slot.index];
  if (options_.SetUpClient) options_.SetUpClient(slot.client);
  slot.client.RcvdStream = &slot.firstBytes;
  try {
    slot.client.GetASync();
  } catch (const std::exception& E) {
    Finish(slot, FailedResult(E.what()));
  }
}

// What the header of each reply says; the last one is the document's (a redirect's is
// replaced by the next leg's).
void TSourceCheck::HeaderEnd(TSlot& slot) {
  if (!slot.index) return;
  const THttpCli& client = slot.client;
  const TReplyFacts facts = ReadReplyFacts(client.HeaderLines());
  TSourceCheckResult result;
  result.StatusCode = client.StatusCode();
  result.Status = StatusText(client.StatusCode(), client.ReasonPhrase());
  result.Ok = Successful(client.StatusCode());
  result.ContentType = facts.ContentType;
  result.ContentLength = facts.ContentLength;
  result.LastModified = facts.LastModified;
  slot.reply = result;
}

// A server that ignored the range sends the whole chart: the check ends the request once
// it holds the bytes it judges.
void TSourceCheck::FirstBytes(TSlot& slot) {
  if (!slot.index || slot.enough || slot.firstBytes.Size() < kFirstBytes) return;
  slot.enough = true;
  slot.client.Abort();
}

void TSourceCheck::RequestDone(TSlot& slot, uint16_t error) {
  if (slot.endPending) {
    slot.endPending = false;
    return;
  }
  // Ended by the client at the reply's end, or by the check with the first bytes in.
  const bool replied = slot.reply && (error == 0 || (slot.enough && error == WSAECONNABORTED));
  TSourceCheckResult result = slot.reply ? *slot.reply : TSourceCheckResult();
  if (replied) {
    JudgeFirstBytes(slot.firstBytes.Bytes(), result);
  } else {
    // A reply whose body went wrong (cut short, say) keeps what its header said.
    result.Ok = false;
    result.Status = slot.client.ReasonPhrase();
  }
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
