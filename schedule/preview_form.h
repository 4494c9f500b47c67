#pragma once
// The preview window: fetches the image behind one URL of the editor's grids with its
// own client and shows it, without saving or printing anything.

#include <QWidget>
#include <memory>
#include <string>

#include "fetch/file_download.h"
#include "http/http_cli.h"
#include "imaging/picture.h"

namespace Ui {
class TPreviewForm;
}
class TEventLog;

class TPreviewForm : public QWidget {
  Q_OBJECT

 public:
  // Downloads go into the program folder; empty: the running program's executable folder.
  explicit TPreviewForm(std::string programFolder = {}, QWidget* parent = nullptr);
  ~TPreviewForm() override;

  Ui::TPreviewForm& Form() { return *ui_; }
  THttpCli& HTTP() { return http_; }
  TPicture& Picture() { return picture_; }

  // The log that gets the window's fetches and their outcome; none: nothing is logged.
  void SetLog(const TEventLog* log) { log_ = log; }

  // Downloads the URL, unchanged, into the program folder and shows it; returns when the
  // image is shown. Errors other than the client's busy report pass on, named by the URL
  // (without its password).
  void FetchAndShow(const std::string& url);
  // What the editor's Preview buttons do: show this window, not modal, and fetch.
  void Preview(const std::string& url);

 public slots:
  void OkButtonClick();

 private:
  std::string ProgramFolder() const;
  void Fetch(const std::string& url, const std::string& shownUrl);
  void ShowPicture();
  void Log(const std::string& text) const;

  std::unique_ptr<Ui::TPreviewForm> ui_;
  std::string programFolder_;
  THttpCli http_;
  TFileDownload download_;
  TPicture picture_;
  const TEventLog* log_ = nullptr;
};
