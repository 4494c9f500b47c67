#pragma once
// One download into a local file, as the fetch job and the preview window make it: the
// file is created (replacing an earlier one), handed to the client as its RcvdStream, and
// closed when the client reports the request done.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class THttpCli;
class TFileStream;

inline constexpr const char* kInternetErrorPrefix = "Internet error: ";

class TFileDownload {
 public:
  // Installs RequestDone as the client's OnRequestDone, followed by the caller's own.
  TFileDownload(THttpCli& Http, std::function<void()> OnDone = nullptr);
  ~TFileDownload();
  TFileDownload(const TFileDownload&) = delete;
  TFileDownload& operator=(const TFileDownload&) = delete;

  // Downloads the URL into the file and returns when the request has ended. A client busy
  // with an earlier request raises EHttpException, whose text showInternetError receives
  // as "Internet error: " + status + " " + reason; the running request keeps its own file.
  // Answers whether the request ran (false: the client was busy).
  bool Get(const std::string& Url, const std::string& LocalFile,
           const std::function<void(const std::string&)>& ShowInternetError);

  THttpCli& Http() { return http_; }
  bool Running() const { return stream_ != nullptr; }
  // The Error that OnRequestDone reported for the last request (0: none).
  uint16_t LastError() const { return lastError_; }

 private:
  void RequestDone(uint16_t error);

  THttpCli& http_;
  std::function<void()> onDone_;
  std::unique_ptr<TFileStream> stream_;
  uint16_t lastError_ = 0;
};
