#pragma once
// One download into a file on the thread's message loop, without waiting for it: the file
// is created, the client's GET starts, and the end is told once the file is closed. Used
// by the station, several at once, and by the preview window.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "http/http_cli.h"

class TFileStream;

// How a download ended.
struct TDownloadResult {
  uint16_t error = 0;       // the client's error; 0 when a reply came to its end
  int32_t statusCode = 0;   // the final reply's status
  std::string reason;       // its reason phrase, or the error's text
  std::string contentType;  // as the server gave it
  int64_t receivedBytes = 0;
  // A status of 400 or more is the server's refusal, whatever body came with it.
  bool Refused() const { return error == 0 && statusCode >= kFirstRefusalStatus; }
  bool Succeeded() const { return error == 0 && !Refused(); }
  // What went wrong, as messages give it: the error's text, or "404 Not Found".
  std::string Failure() const;
  static constexpr int32_t kFirstRefusalStatus = 400;
};

class TAsyncDownload {
 public:
  using TDone = std::function<void(const TDownloadResult&)>;
  // Received bytes and the length the server gave (-1: none), as they come.
  using TProgress = std::function<void(int64_t received, int64_t length)>;

  TAsyncDownload();
  ~TAsyncDownload();
  TAsyncDownload(const TAsyncDownload&) = delete;
  TAsyncDownload& operator=(const TAsyncDownload&) = delete;

  // The client, to be set up (proxies, limits) before a Start.
  THttpCli& Http() { return http_; }

  // Creates fileName (replacing it) and starts the GET of url into it; done runs from the
  // loop when the request has ended and the file is closed, and may start the next
  // download on this object. Raises, with nothing started, when the file cannot be made
  // (EFCreateError) or the client refuses the request (EHttpException: busy or a URL it
  // cannot use).
  void Start(const std::string& url, const std::string& fileName, TDone done,
             TProgress progress = nullptr);
  // Ends the running request at once as a failure; done still runs.
  void Abort() { http_.Abort(); }
  bool Running() const { return file_ != nullptr; }

 private:
  void RequestDone(uint16_t error);

  THttpCli http_;
  std::unique_ptr<TFileStream> file_;
  TDone done_;
  TProgress progress_;
};
