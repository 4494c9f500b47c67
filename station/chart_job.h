#pragma once
// The job of one queued line, run without waiting anywhere: the download runs on the
// message loop, the decoding, checking and encoding on the station's workers, and the
// save and print follow on the loop when the workers hand the chart back. Each step says
// what it does in the status text and the log; a failure ends the job with its kind, and
// a retry goes on from the step that failed.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "download/async_download.h"
#include "runtime/clock.h"
#include "station/failure.h"
#include "station/fetch_queue.h"

class TArchive;
class TBitmap;
class TEventLog;
class TOrderedWorkers;
class TStationPrinter;
class TStationReport;
class TChartJob;

// What the jobs share, and what they tell the station.
class TJobHost {
 public:
  virtual ~TJobHost() = default;
  virtual const std::string& ProgramFolder() const = 0;
  virtual const TClock& Clock() const = 0;
  virtual const TTimeZone& Zone() const = 0;
  virtual const TEventLog& Log() const = 0;
  virtual TStationReport& Report() = 0;
  virtual TOrderedWorkers& Workers() = 0;
  virtual TArchive& Archive() = 0;
  // None when nothing is to be printed (the operator's "Disable printer").
  virtual TStationPrinter* Printer() = 0;
  // The job's download has ended and its client is free for another.
  virtual void DownloadEnded(TChartJob& job) = 0;
  // The line's source gave a whole picture.
  virtual void SourceAnswered(TChartJob& job) = 0;
  virtual void ProgressChanged() = 0;
  // The job is over: failure is null when every step succeeded. The host may destroy it.
  virtual void JobEnded(TChartJob& job, const EStationFailure* failure) = 0;
};

class TChartJob {
 public:
  TChartJob(TJobHost& host, TFetchQueue::Position line) : host_(host), line_(line) {}
  // A job cut short (the program stops) leaves no half-downloaded file behind.
  ~TChartJob();
  TChartJob(const TChartJob&) = delete;
  TChartJob& operator=(const TChartJob&) = delete;

  // Runs the line's job from the step its progress names; a download runs on client,
  // which a job that starts later than its download needs not.
  void Start(TAsyncDownload* client);
  TFetchQueue::Position Line() const { return line_; }
  // The client of the running download; null once it has ended.
  TAsyncDownload* Client() const { return client_; }
  // What the job said last in the status text.
  const std::string& LastStatus() const { return lastStatus_; }
  int64_t Received() const { return received_; }
  int64_t Length() const { return length_; }
  // The SHA-256 of the download once it decoded whole; "" before, or when it could not be read.
  const std::string& Digest() const { return digest_; }
  // Where the chart was saved; "" until it is, and for a line that saves nothing.
  const std::string& SavedPath() const { return savedPath_; }

 private:
  struct TDevelopment;

  const TFetchInputs& Inputs() const { return line_->inputs; }
  TJobProgress& Progress() { return line_->progress; }
  void Status(const std::string& text);
  void StartDownload(TAsyncDownload& client);
  void DownloadDone(const TDownloadResult& result);
  void Develop(bool decode);
  void Developed(TDevelopment& development);
  void KeepDownload();
  void Save(const std::optional<std::vector<uint8_t>>& encoded);
  void Print();
  void Fail(const EStationFailure& failure);

  TJobHost& host_;
  TFetchQueue::Position line_;
  TAsyncDownload* client_ = nullptr;
  std::string localFile_;    // where the download is kept once it decoded whole
  std::string partialFile_;  // where it arrives; removed unless kept
  std::string contentType_;
  std::string lastStatus_;
  std::string digest_;
  std::string savedPath_;
  int64_t received_ = 0;
  int64_t length_ = -1;
};
