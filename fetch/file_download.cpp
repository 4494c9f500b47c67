#include "fetch/file_download.h"

#include "http/http_cli.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

TFileDownload::TFileDownload(THttpCli& Http, std::function<void()> OnDone)
    : http_(Http), onDone_(std::move(OnDone)) {
  http_.OnRequestDone = [this](THttpCli*, THttpRequest, uint16_t error) { RequestDone(error); };
}

TFileDownload::~TFileDownload() {
  http_.OnRequestDone = nullptr;
  http_.RcvdStream = nullptr;
}

bool TFileDownload::Get(const std::string& Url, const std::string& LocalFile,
                        const std::function<void(const std::string&)>& ShowInternetError) {
  try {
    // A busy client refuses the request; replacing its stream first would cut the running
    // download's file short.
    if (http_.State() == hsReady) {
      stream_ = std::make_unique<TFileStream>(LocalFile, fmCreate);
      http_.RcvdStream = stream_.get();
    }
    http_.URL = Url;
    http_.Get();
    return true;
  } catch (const EHttpException&) {
    ShowInternetError(kInternetErrorPrefix + IntToStr(http_.StatusCode()) + " " +
                      http_.ReasonPhrase());
    return false;
  }
}

void TFileDownload::RequestDone(uint16_t error) {
  lastError_ = error;
  http_.RcvdStream = nullptr;
  stream_.reset();
  if (onDone_) onDone_();
}
