#include "schedule/preview_form.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>

#include "chart/chart_picture.h"
#include "download/fetch_inputs.h"
#include "gui/application.h"
#include "gui/qt_image.h"
#include "gui/text_conversion.h"
#include "http/url_helpers.h"
#include "imaging/bitmap.h"
#include "program/event_log.h"
#include "program/program_folder.h"
#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "station/station_folders.h"
#include "station/station_settings.h"
#include "ui_preview_form.h"

namespace {
constexpr const char* kPreviewSource = "Preview";
constexpr const char* kNoPictureText = "No picture the preview shows";
constexpr const char* kCancelledText = "Cancelled";
}  // namespace

TPreviewForm::TPreviewForm(std::string programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::TPreviewForm>()),
      programFolder_(std::move(programFolder)),
      picture_(std::make_shared<TBitmap>()) {
  ui_->setupUi(this);
  download_.Http().SetProxyEnvironment(ProcessProxyEnvironment());
  download_.Http().MaxTime = kDefaultDeadlineSeconds;
  download_.Http().MaxBodySize = kDefaultBodyLimitBytes;
  connect(ui_->OkButton, &QPushButton::clicked, this, &TPreviewForm::OkButtonClick);
  connect(ui_->CancelButton, &QPushButton::clicked, this, &TPreviewForm::CancelButtonClick);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  move(screen.center() - rect().center());
}

TPreviewForm::~TPreviewForm() = default;

std::string TPreviewForm::ProgramFolder() const {
  return programFolder_.empty() ? ProgramFolderOf(ExecutablePath()) : programFolder_;
}

void TPreviewForm::FetchAndShow(const std::string& url, std::function<void()> ended) {
  const std::string shownUrl = UrlWithoutPassword(url);
  if (busy_) {
    TApplication::Instance().ShowMessage(kInternetErrorPrefix + IntToStr(HTTP().StatusCode()) +
                                         " " + HTTP().ReasonPhrase());
    Log(shownUrl + " not fetched: an earlier preview is still downloading");
    if (ended) ended();
    return;
  }
  const std::string folder = DownloadsFolder(ProgramFolder());
  localFile_ = DownloadFileName(folder, url);
  partialFile_ = TemporaryNameBeside(localFile_);
  ended_ = std::move(ended);
  busy_ = true;
  cancelled_ = false;
  ui_->CancelButton->setEnabled(true);
  ClearPicture();
  ui_->Label1->setText(ToQString("Downloading " + localFile_ + "....."));
  Log("fetching " + shownUrl + " into " + localFile_);
  try {
    MakeFolder(folder);
    download_.Start(url, partialFile_, [this, shownUrl](const TDownloadResult& result) {
      Downloaded(result, shownUrl);
    });
  } catch (const std::exception& error) {
    Fail(shownUrl, error.what());
  }
}

void TPreviewForm::Downloaded(const TDownloadResult& result, const std::string& shownUrl) {
  Log("downloaded " + shownUrl + ": " + IntToStr(result.statusCode) + " " + result.reason + ", " +
      IntToStr(result.receivedBytes) + " bytes");
  if (cancelled_ || !result.Succeeded()) {
    std::remove(partialFile_.c_str());
    if (cancelled_)
      Cancelled(shownUrl);
    else
      Fail(shownUrl, result.Failure());
    return;
  }
  auto picture = std::make_shared<std::shared_ptr<const TBitmap>>();
  auto error = std::make_shared<std::string>();
  decoder_.Submit(
      [picture, error, file = partialFile_] {
        try {
          *picture = DecodeChart(file);
        } catch (const std::exception& raised) {
          *error = raised.what();
        }
      },
      [this, picture, error, shownUrl] { Decoded(*picture, *error, shownUrl); });
}

// The download replaces the last one of its name only when it decoded whole.
void TPreviewForm::Decoded(std::shared_ptr<const TBitmap> picture, const std::string& error,
                           const std::string& shownUrl) {
  if (cancelled_ || !picture) {
    std::remove(partialFile_.c_str());
    if (cancelled_) {
      Cancelled(shownUrl);
    } else if (error.empty()) {
      Log(shownUrl + " is no image the preview shows");
      ui_->Label1->setText(kNoPictureText);
      End("");
    } else {
      Fail(shownUrl, error);
    }
    return;
  }
  if (std::rename(partialFile_.c_str(), localFile_.c_str()) != 0) {
    std::remove(partialFile_.c_str());
    Fail(shownUrl, "Cannot create file " + localFile_);
    return;
  }
  picture_ = std::move(picture);
  ShowPicture();
  Log("showing " + shownUrl + ", " + IntToStr(picture_->Width()) + " x " +
      IntToStr(picture_->Height()));
  ui_->Label1->setText("Done");
  End("");
}

// The window's own label says what went wrong; the error display says it with the URL.
void TPreviewForm::Fail(const std::string& shownUrl, const std::string& cause) {
  ui_->Label1->setText(ToQString(cause));
  End(shownUrl + ": " + cause);
}

void TPreviewForm::Cancelled(const std::string& shownUrl) {
  Log(shownUrl + " cancelled");
  ui_->Label1->setText(kCancelledText);
  End("");
}

void TPreviewForm::End(const std::string& error) {
  busy_ = false;
  ui_->CancelButton->setEnabled(false);
  if (!error.empty()) TApplication::Instance().ShowError(kPreviewSource, error);
  const std::function<void()> ended = std::move(ended_);
  ended_ = nullptr;
  if (ended) ended();
  emit FetchEnded();
}

void TPreviewForm::Log(const std::string& text) const {
  if (log_) log_->Add("Preview: " + text);
}

void TPreviewForm::Preview(const std::string& url, std::function<void()> ended) {
  show();
  raise();
  FetchAndShow(url, std::move(ended));
}

void TPreviewForm::ShowPicture() {
  const TBitmap& bitmap = *picture_;
  ui_->Image1->resize(bitmap.Width(), bitmap.Height());
  ui_->Image1->setPixmap(QPixmap::fromImage(ToQImage(bitmap.Dib())));
  ui_->ScrollBox1->widget()->resize(bitmap.Width() + 8, bitmap.Height() + 8);
}

void TPreviewForm::ClearPicture() {
  picture_ = std::make_shared<TBitmap>();
  ui_->Image1->clear();
  ui_->Image1->resize(0, 0);
  ui_->ScrollBox1->widget()->resize(8, 8);
}

void TPreviewForm::OkButtonClick() {
  hide();
}

// A download is cut short; a picture being decoded is dropped when it is ready.
void TPreviewForm::CancelButtonClick() {
  if (!busy_) return;
  cancelled_ = true;
  if (download_.Running()) download_.Abort();
}
