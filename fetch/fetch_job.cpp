#include "fetch/fetch_job.h"

#include "fetch/date_codes.h"
#include "fetch/event_log.h"
#include "fetch/jpeg_quality.h"
#include "fetch/preview_file.h"
#include "http/http_cli.h"
#include "imaging/bitmap.h"
#include "imaging/picture.h"
#include "runtime/strings.h"

namespace {

void Download(const TFetchJobContext& context, const std::string& url,
              const std::string& localFile) {
  context.window.ShowStatus("Downloading " + localFile + ".....");
  context.log.Add("Fetching " + url + " into " + localFile);
  context.download.Get(url, localFile,
                       [&](const std::string& text) { context.window.ShowMessage(text); });
  const THttpCli& http = context.download.Http();
  context.log.Add("Downloaded " + url + ": " + IntToStr(http.StatusCode()) + " " +
                  http.ReasonPhrase() + ", " + IntToStr(http.RcvdBytes()) + " bytes");
}

void Display(const TFetchJobContext& context, const std::string& localFile) {
  TBitmap& bitmap = context.preview.Bitmap();
  if (!DisplayDownloadedFile(localFile, context.viewer, bitmap)) {
    context.log.Add("Not displayed (kind not shown), keeping the previous image: " + localFile);
    return;
  }
  context.window.PreviewChanged();
  context.log.Add("Displayed " + IntToStr(bitmap.Width()) + " x " + IntToStr(bitmap.Height()));
}

void Save(const TFetchJobContext& context, const std::string& filename) {
  context.window.ShowStatus("Saving " + filename + "...");
  context.window.ProcessMessages();
  const std::string expanded = ExpandDateCodes(filename, context.clock, context.zone);
  const bool saved = SavePreviewFile(context.preview, expanded, [&] {
    return ReadJPEGQuality(context.programFolder + kJPEGQualityFileName);
  });
  context.log.Add(saved ? "Saved " + expanded : "Not saved (kind not written): " + expanded);
  context.window.ShowStatus("Done");
  context.window.ProcessMessages();
}

}  // namespace

void RunFetchJob(const TFetchJobContext& Context, const TFetchInputs& Inputs) {
  const std::string localFile = Trim(DownloadFileName(Context.programFolder, Inputs.URL));
  Download(Context, Inputs.URL, localFile);
  Display(Context, localFile);
  Context.window.ProcessMessages();
  Context.window.ShowStatus("Printing " + localFile + ".....");
  if (!Inputs.Filename.empty()) Save(Context, Inputs.Filename);
  if (Context.window.PrinterDisabled() || Inputs.Print == "n") return;
  Context.window.PrintPreview(Inputs.Neg);
  Context.log.Add("Printed " + localFile);
}
