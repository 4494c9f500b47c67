#include "schedule/preview_form.h"

#include <QGuiApplication>
#include <QScreen>

#include "fetch/event_log.h"
#include "fetch/fetch_inputs.h"
#include "fetch/preview_file.h"
#include "fetch/program_folder.h"
#include "gui/application.h"
#include "gui/qt_image.h"
#include "gui/text_conversion.h"
#include "http/url_helpers.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "ui_preview_form.h"

TPreviewForm::TPreviewForm(std::string programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::TPreviewForm>()),
      programFolder_(std::move(programFolder)),
      download_(http_) {
  ui_->setupUi(this);
  http_.SetProxyEnvironment(ProcessProxyEnvironment());
  connect(ui_->OkButton, &QPushButton::clicked, this, &TPreviewForm::OkButtonClick);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  move(screen.center() - rect().center());
}

TPreviewForm::~TPreviewForm() = default;

std::string TPreviewForm::ProgramFolder() const {
  return programFolder_.empty() ? ProgramFolderOf(ExecutablePath()) : programFolder_;
}

void TPreviewForm::FetchAndShow(const std::string& url) {
  const std::string shownUrl = UrlWithoutPassword(url);
  try {
    Fetch(url, shownUrl);
  } catch (const std::exception& error) {
    throw Exception(shownUrl + ": " + error.what());
  }
}

void TPreviewForm::Fetch(const std::string& url, const std::string& shownUrl) {
  const std::string localFile = DownloadFileName(ProgramFolder(), url);
  ui_->Label1->setText(ToQString("Downloading " + localFile + "....."));
  Log("fetching " + shownUrl + " into " + localFile);
  const bool ran = download_.Get(
      url, localFile, [](const std::string& text) { TApplication::Instance().ShowMessage(text); });
  if (!ran) {
    Log(shownUrl + " not fetched: an earlier preview is still downloading");
    return;
  }
  Log("downloaded " + shownUrl + ": " + IntToStr(http_.StatusCode()) + " " + http_.ReasonPhrase() +
      ", " + IntToStr(http_.RcvdBytes()) + " bytes");
  if (DisplayDownloadedFile(localFile, ui_->ImageScrollBox1->ImageScrollBox(), picture_.Bitmap())) {
    ShowPicture();
    Log("showing " + shownUrl + ", " + IntToStr(picture_.Bitmap().Width()) + " x " +
        IntToStr(picture_.Bitmap().Height()));
  } else {
    Log(shownUrl + " is no image the preview shows");
  }
  ui_->Label1->setText("Done");
}

void TPreviewForm::Log(const std::string& text) const {
  if (log_) log_->Add("Preview: " + text);
}

void TPreviewForm::Preview(const std::string& url) {
  show();
  raise();
  FetchAndShow(url);
}

void TPreviewForm::ShowPicture() {
  const TBitmap& bitmap = picture_.Bitmap();
  ui_->Image1->resize(bitmap.Width(), bitmap.Height());
  ui_->Image1->setPixmap(QPixmap::fromImage(ToQImage(bitmap.Dib())));
  ui_->ScrollBox1->widget()->resize(bitmap.Width() + 8, bitmap.Height() + 8);
}

void TPreviewForm::OkButtonClick() {
  hide();
}
