#include "download/async_download.h"

#include "runtime/stream.h"
#include "runtime/strings.h"

std::string TDownloadResult::Failure() const {
  if (error != 0) return reason;
  return IntToStr(statusCode) + " " + reason;
}

TAsyncDownload::TAsyncDownload() {
  http_.OnRequestDone = [this](THttpCli*, THttpRequest, uint16_t error) { RequestDone(error); };
  http_.OnDocData = [this](THttpCli* http, const char*, int) {
    if (progress_) progress_(http->RcvdBytes(), http->ContentLength());
  };
}

TAsyncDownload::~TAsyncDownload() {
  http_.OnRequestDone = nullptr;
  http_.OnDocData = nullptr;
  http_.RcvdStream = nullptr;
}

void TAsyncDownload::Start(const std::string& url, const std::string& fileName, TDone done,
                           TProgress progress) {
  // A busy client refuses before its stream is replaced, which would cut the running
  // download's file short.
  if (http_.State() != hsReady) http_.GetASync();
  auto file = std::make_unique<TFileStream>(fileName, fmCreate);
  http_.RcvdStream = file.get();
  http_.URL = url;
  try {
    http_.GetASync();
  } catch (...) {
    http_.RcvdStream = nullptr;
    throw;
  }
  file_ = std::move(file);
  done_ = std::move(done);
  progress_ = std::move(progress);
}

void TAsyncDownload::RequestDone(uint16_t error) {
  http_.RcvdStream = nullptr;
  file_.reset();
  const TDownloadResult result{error, http_.StatusCode(), http_.ReasonPhrase(), http_.ContentType(),
                               http_.RcvdBytes()};
  progress_ = nullptr;
  // The handler may start the next download on this object.
  const TDone done = std::move(done_);
  done_ = nullptr;
  if (done) done(result);
}
