#pragma once
// The fetch job of one queued schedule line: download the URL into the program folder,
// show the file in the preview, save the preview under the line's target name and print
// it. It runs to its end inside the caller; an error other than the client's busy report
// ends it by passing on.

#include <string>

#include "fetch/fetch_inputs.h"
#include "fetch/file_download.h"
#include "runtime/clock.h"

class TPicture;
class TImageScrollBox;
class TEventLog;

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
};

void RunFetchJob(const TFetchJobContext& Context, const TFetchInputs& Inputs);
