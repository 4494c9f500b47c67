#include "app/qt_archive_tile.h"

#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/thumbnail_maker.h"
#include "archive/archive_pages.h"
#include "gui/text_conversion.h"
#include "runtime/strings.h"

namespace {

constexpr int kCaptionHeight = 34;
constexpr int kMargin = 4;

}  // namespace

TQtArchiveTile::TQtArchiveTile(TSavedFile save, bool deleted, QWidget* parent)
    : QFrame(parent),
      save_(std::move(save)),
      picture_(new QLabel(this)),
      caption_(new QLabel(this)) {
  setFrameShape(QFrame::StyledPanel);
  setToolTip(ToQString(save_.path));
  picture_->setObjectName("Thumbnail");
  picture_->setFixedSize(kThumbnailWidth, kThumbnailHeight);
  picture_->setAlignment(Qt::AlignCenter);
  caption_->setObjectName("Caption");
  caption_->setFixedSize(kThumbnailWidth, kCaptionHeight);
  caption_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  caption_->setText(
      ToQString(TimeOfDayText(save_.savedAt) + " UTC\n" + ExtractFileName(save_.path)));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->addWidget(picture_);
  layout->addWidget(caption_);
  if (deleted)
    ShowPlaceText(atDeleted, "deleted");
  else
    ShowPlaceText(atLoading, "loading...");
}

void TQtArchiveTile::ShowPlaceText(TArchiveTileState state, const char* text) {
  state_ = state;
  picture_->setText(text);
  picture_->setStyleSheet("QLabel { color: #707070; background: #e8e8e8; }");
}

void TQtArchiveTile::ShowThumbnail(const QImage& image) {
  state_ = atShown;
  picture_->setStyleSheet({});
  picture_->setPixmap(QPixmap::fromImage(image));
}

void TQtArchiveTile::ShowUnreadable(const QString& reason) {
  ShowPlaceText(atUnreadable, "cannot be read");
  setToolTip(ToQString(save_.path) + "\n" + reason);
}

void TQtArchiveTile::mouseDoubleClickEvent(QMouseEvent* event) {
  QFrame::mouseDoubleClickEvent(event);
  emit DoubleClicked(save_);
}
