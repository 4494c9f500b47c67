#pragma once
// The fetch job of one queued schedule line: download the URL into the program folder,
// show the file in the preview, save the preview under the line's target name and print
// it. It runs to its end inside the caller. Any failure ends it by passing on an error
// that names the line's title and URL; a retry goes on from the step that failed.

#include <memory>
#include <string>

#include "fetch/fetch_inputs.h"
#include "fetch/file_download.h"
#include "runtime/clock.h"

class TBitmap;
class TPicture;
class TImageScrollBox;
class TEventLog;
class TArchive;

// What the job needs from the window it runs in.
class TFetchJobWindow {
 public:
  virtual ~TFetchJobWindow() = default;
  virtual void ShowStatus(const std::string& Text) = 0;
  virtual void ProcessMessages() = 0;
  // An information box with an OK button; returns when it is closed.
  virtual void ShowMessage(const std::string& Text) = 0;
  // The preview picture was replaced: its control takes the new size and pixels.
  virtual void PreviewChanged() = 0;
  virtual bool PrinterDisabled() = 0;
  virtual void PrintPreview(const std::string& Neg) = 0;
  // The preview was saved under FileName, an absolute path.
  virtual void FileSaved(const std::string& FileName) = 0;
};

struct TFetchJobContext {
  TFetchJobWindow& window;
  TFileDownload& download;
  TPicture& preview;
  TImageScrollBox& viewer;
  const TEventLog& log;
  std::string programFolder;
  const TClock& clock;
  const TTimeZone& zone;
  // Lists each save and prunes after it; none: saves are not archived.
  TArchive* archive = nullptr;
};

// The steps of a job, in order; what a retry starts from.
enum TJobStep { jsDownload, jsSave, jsPrint };

// What the attempts at one line's job have completed, so that a retry does not download,
// save or print twice.
struct TJobProgress {
  TJobStep next = jsDownload;
  std::string expandedFilename;  // fixed at the first attempt to save
  // The picture the download showed, kept for a later save or print when the job failed
  // after showing it: other lines' jobs change the preview meanwhile.
  std::shared_ptr<const TBitmap> picture;
};

// Runs the job from Progress.next on, and records each step completed in Progress.
void RunFetchJob(const TFetchJobContext& Context, const TFetchInputs& Inputs,
                 TJobProgress& Progress);
// A job from its start, as a new line's.
void RunFetchJob(const TFetchJobContext& Context, const TFetchInputs& Inputs);

// How messages name a line: "Title (URL)", the URL without its password.
std::string FetchJobName(const TFetchInputs& Inputs);
