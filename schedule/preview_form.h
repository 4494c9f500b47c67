#pragma once
// The preview window: fetches the image behind one URL of the editor's grids with its
// own client and shows it, without saving or printing anything. The download runs on the
// message loop and the decoding on a worker, so the editor stays usable meanwhile; the
// download arrives in a temporary file and is kept in the downloads folder only when it
// decoded whole.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "download/async_download.h"
#include "station/ordered_workers.h"

namespace Ui {
class TPreviewForm;
}
class TBitmap;
class TEventLog;

inline constexpr const char* kInternetErrorPrefix = "Internet error: ";

class TPreviewForm : public QWidget {
  Q_OBJECT

 public:
  // Downloads go into the program folder's downloads folder; empty: the running program's
  // executable folder.
  explicit TPreviewForm(std::string programFolder = {}, QWidget* parent = nullptr);
  ~TPreviewForm() override;

  Ui::TPreviewForm& Form() { return *ui_; }
  THttpCli& HTTP() { return download_.Http(); }
  // The picture shown; empty before the first.
  const TBitmap& Picture() const { return *picture_; }
  bool Busy() const { return busy_; }

  // The log that gets the window's fetches and their outcome; none: nothing is logged.
  void SetLog(const TEventLog* log) { log_ = log; }

  // Clears the picture shown and starts the download of the URL, unchanged; the image
  // shows once it decoded whole. What went wrong shows in the window's label and goes to
  // the error display under "Preview", named by the URL (without its password); ended runs
  // when the fetch is over, whatever its outcome, a cancel too. A client still
  // busy with an earlier preview gets the "Internet error: " box.
  void FetchAndShow(const std::string& url, std::function<void()> ended = nullptr);
  // What the editor's Preview buttons do: show this window, not modal, and fetch.
  void Preview(const std::string& url, std::function<void()> ended = nullptr);

 signals:
  // The fetch is over: shown, refused or failed.
  void FetchEnded();

 public slots:
  void OkButtonClick();
  void CancelButtonClick();

 private:
  std::string ProgramFolder() const;
  void Downloaded(const TDownloadResult& result, const std::string& shownUrl);
  void Decoded(std::shared_ptr<const TBitmap> picture, const std::string& error,
               const std::string& shownUrl);
  void ShowPicture();
  void ClearPicture();
  void Fail(const std::string& shownUrl, const std::string& cause);
  void Cancelled(const std::string& shownUrl);
  void End(const std::string& error);
  void Log(const std::string& text) const;

  std::unique_ptr<Ui::TPreviewForm> ui_;
  std::string programFolder_;
  TAsyncDownload download_;
  TOrderedWorkers decoder_{1};
  std::shared_ptr<const TBitmap> picture_;
  std::string localFile_;
  std::string partialFile_;
  std::function<void()> ended_;
  bool busy_ = false;
  bool cancelled_ = false;
  const TEventLog* log_ = nullptr;
};
