#include "fetch/fetch_job.h"

#include <cstdio>
#include <filesystem>

#include "fetch/archive.h"
#include "fetch/date_codes.h"
#include "fetch/event_log.h"
#include "fetch/jpeg_quality.h"
#include "fetch/preview_file.h"
#include "http/http_cli.h"
#include "http/url_helpers.h"
#include "imaging/bitmap.h"
#include "imaging/picture.h"
#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

// A status of 400 or more is the server's refusal, whatever body came with it.
constexpr int32_t kFirstFailureStatus = 400;

// The download's own file until it is known to be good; removed unless it was kept.
class TPartialDownload {
 public:
  explicit TPartialDownload(std::string name) : name_(std::move(name)) {}
  ~TPartialDownload() {
    if (!name_.empty()) std::remove(name_.c_str());
  }
  TPartialDownload(const TPartialDownload&) = delete;
  TPartialDownload& operator=(const TPartialDownload&) = delete;
  const std::string& Name() const { return name_; }
  void RenameTo(const std::string& fileName) {
    if (std::rename(name_.c_str(), fileName.c_str()) != 0)
      throw EFCreateError("Cannot create file " + fileName);
    name_.clear();
  }

 private:
  std::string name_;
};

// A target name relative to the current folder is logged and shown as the file it became.
std::string AbsolutePath(const std::string& fileName) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(fileName, error);
  return error ? fileName : absolute.lexically_normal().string();
}

// What the server or the connection answered to a failed request.
std::string FailureAnswer(const THttpCli& http, uint16_t error) {
  if (error != 0) return http.ReasonPhrase();
  return IntToStr(http.StatusCode()) + " " + http.ReasonPhrase();
}

// Downloads into a temporary name and puts it in place only when the request succeeded,
// so a failed download never replaces the last good one.
void Download(const TFetchJobContext& context, const std::string& url,
              const std::string& localFile) {
  const std::string shownUrl = UrlWithoutPassword(url);
  context.window.ShowStatus("Downloading " + localFile + ".....");
  context.log.Add("Fetching " + shownUrl + " into " + localFile);
  TPartialDownload partial(TemporaryNameBeside(localFile));
  if (!context.download.Get(url, partial.Name(),
                            [&](const std::string& text) { context.window.ShowMessage(text); }))
    throw Exception("the HTTP client is still busy with an earlier request");
  const THttpCli& http = context.download.Http();
  context.log.Add("Downloaded " + shownUrl + ": " + IntToStr(http.StatusCode()) + " " +
                  http.ReasonPhrase() + ", " + IntToStr(http.RcvdBytes()) + " bytes");
  const uint16_t error = context.download.LastError();
  if (error != 0 || http.StatusCode() >= kFirstFailureStatus)
    throw Exception(FailureAnswer(http, error));
  partial.RenameTo(localFile);
}

void Display(const TFetchJobContext& context, const std::string& localFile) {
  TBitmap& bitmap = context.preview.Bitmap();
  // A cut download raises here and is retried, never saved or printed as the chart.
  if (!DisplayDownloadedFile(localFile, context.viewer, bitmap)) {
    const std::string& type = context.download.Http().ContentType();
    throw Exception("the download is not an image (" + (type.empty() ? "no type given" : type) +
                    ")");
  }
  context.window.PreviewChanged();
  if (bitmap.Width() == 0 || bitmap.Height() == 0)
    throw Exception("the download holds no picture (0 x 0)");
  context.log.Add("Displayed " + IntToStr(bitmap.Width()) + " x " + IntToStr(bitmap.Height()));
}

void ShowKeptPicture(const TFetchJobContext& context, const TBitmap& picture) {
  context.preview.Bitmap().Assign(picture);
  context.window.PreviewChanged();
}

// A save that fails for lack of space prunes the archive before the error passes on, so
// that the job's retry finds room.
bool SaveArchived(const TFetchJobContext& context, const std::string& fileName) {
  try {
    return SavePreviewFile(context.preview, fileName, [&] {
      return ReadJPEGQuality(context.programFolder + kJPEGQualityFileName);
    });
  } catch (const std::exception& error) {
    if (context.archive) context.archive->PruneAfterFailedSave(error);
    throw;
  }
}

void Archive(const TFetchJobContext& context, const std::string& fileName) {
  if (!context.archive) return;
  context.archive->Record(fileName);
  context.archive->Prune();
}

void Save(const TFetchJobContext& context, const std::string& filename, TJobProgress& progress) {
  context.window.ShowStatus("Saving " + filename + "...");
  context.window.ProcessMessages();
  if (progress.expandedFilename.empty())
    progress.expandedFilename = ExpandDateCodes(filename, context.clock, context.zone);
  const std::string& expanded = progress.expandedFilename;
  const bool saved = SaveArchived(context, expanded);
  const std::string absolute = AbsolutePath(expanded);
  context.log.Add(saved ? "Saved " + absolute : "Not saved (kind not written): " + absolute);
  if (saved) {
    Archive(context, absolute);
    context.window.FileSaved(absolute);
  }
  context.window.ShowStatus("Done");
  context.window.ProcessMessages();
}

void RunSteps(const TFetchJobContext& context, const TFetchInputs& inputs, TJobProgress& progress) {
  const std::string localFile = Trim(DownloadFileName(context.programFolder, inputs.URL));
  if (progress.next == jsDownload) {
    Download(context, inputs.URL, localFile);
    Display(context, localFile);
    progress.next = jsSave;
  } else {
    ShowKeptPicture(context, *progress.picture);
  }
  context.window.ProcessMessages();
  context.window.ShowStatus("Printing " + localFile + ".....");
  if (progress.next == jsSave) {
    if (!inputs.Filename.empty()) Save(context, inputs.Filename, progress);
    progress.next = jsPrint;
  }
  if (context.window.PrinterDisabled() || inputs.Print == "n") return;
  context.window.PrintPreview(inputs.Neg);
  context.log.Add("Printed " + localFile);
}

}  // namespace

std::string FetchJobName(const TFetchInputs& Inputs) {
  const std::string url = UrlWithoutPassword(Inputs.URL);
  return Inputs.Title.empty() ? url : Inputs.Title + " (" + url + ")";
}

void RunFetchJob(const TFetchJobContext& Context, const TFetchInputs& Inputs,
                 TJobProgress& Progress) {
  try {
    RunSteps(Context, Inputs, Progress);
  } catch (const std::exception& error) {
    if (Progress.next != jsDownload && !Progress.picture) {
      auto picture = std::make_shared<TBitmap>();
      picture->Assign(Context.preview.Bitmap());
      Progress.picture = std::move(picture);
    }
    throw Exception(FetchJobName(Inputs) + ": " + error.what());
  }
}

void RunFetchJob(const TFetchJobContext& Context, const TFetchInputs& Inputs) {
  TJobProgress progress;
  RunFetchJob(Context, Inputs, progress);
}
