#include "app/archive_form.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/qt_archive_tile.h"
#include "app/thumbnail_maker.h"
#include "gui/application.h"
#include "gui/qt_image.h"
#include "gui/text_conversion.h"
#include "gui/window_placement.h"
#include "runtime/atomic_file.h"
#include "runtime/stream.h"
#include "runtime/strings.h"
#include "ui_archive_form.h"

namespace {

constexpr const char* kArchiveSource = "Archive";
constexpr int kTileColumns = 6;
// About 55 MB of thumbnails: twenty pages, so paging back and forth never decodes again.
constexpr size_t kKeptThumbnails = 20 * kPicturesPerPage;

std::string ThumbnailKey(const TSavedFile& save) {
  return IntToStr(save.savedAt.ms) + "\t" + save.path;
}

// A file that is not there reads as an empty list; one that is there but cannot be read
// raises, rather than showing a station's archive as empty.
std::string ReadListBytes(const std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::exists(fileName, error) && !error) return {};
  TMemoryStream bytes;
  bytes.LoadFromFile(fileName);
  return {bytes.Bytes().begin(), bytes.Bytes().end()};
}

bool IsMissing(const std::string& path) {
  std::error_code error;
  return !std::filesystem::exists(path, error) && !error;
}

}  // namespace

TArchiveForm::TArchiveForm(std::string programFolder, TQtPrinter& printer, QWidget* parent,
                           TThumbnailMaker maker)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::TArchiveForm>()),
      programFolder_(std::move(programFolder)),
      pages_({}),
      viewer_(printer, this),
      worker_(std::move(maker), [this](TThumbnail thumbnail) {
        // On the worker's thread: the picture becomes a Qt image here, and the window
        // takes it up in its own thread.
        const QImage image = thumbnail.error.empty() ? ToQImage(thumbnail.picture) : QImage();
        QMetaObject::invokeMethod(
            this,
            [this, save = thumbnail.save, image, error = ToQString(thumbnail.error)] {
              ThumbnailMade(save, image, error);
            },
            Qt::QueuedConnection);
      }) {
  ui_->setupUi(this);
  connect(ui_->NewestButton, &QPushButton::clicked, this, [this] { ShowPage(0); });
  connect(ui_->PreviousButton, &QPushButton::clicked, this, [this] { ShowPage(pageIndex_ - 1); });
  connect(ui_->NextButton, &QPushButton::clicked, this, [this] { ShowPage(pageIndex_ + 1); });
  connect(ui_->OldestButton, &QPushButton::clicked, this, [this] { ShowPage(PageCount() - 1); });
  connect(ui_->LoopButton, &QPushButton::clicked, this, &TArchiveForm::LoopClick);
  ShowNavigation();
}

TArchiveForm::~TArchiveForm() = default;

TThumbnailMaker TArchiveForm::DefaultThumbnailMaker() {
  return [](const std::string& fileName) { return MakeThumbnail(fileName); };
}

void TArchiveForm::Open() {
  RunHandler(kArchiveSource, [this] {
    ReadSavedList();
    ShowPage(0);
  });
  FitOnScreen(*this);
  show();
  raise();
  activateWindow();
}

void TArchiveForm::ReadSavedList() {
  pages_ = TArchivePages(ReadListBytes(programFolder_ + kSavedListFileName));
}

void TArchiveForm::ShowPage(int index) {
  pageIndex_ = std::clamp(index, 0, PageCount() - 1);
  tiles_.clear();
  headings_.clear();
  std::vector<TSavedFile> toMake;
  auto page = std::make_unique<QWidget>();
  auto* days = new QVBoxLayout(page.get());
  days->setAlignment(Qt::AlignTop);
  for (const TArchiveDay& day : pages_.Page(pageIndex_)) days->addWidget(DayWidget(day, toMake));
  // The scroll area owns the new page and hands back the old one, which goes here.
  const std::unique_ptr<QWidget> previous(ui_->Pictures->takeWidget());
  ui_->Pictures->setWidget(page.release());
  worker_.Request(std::move(toMake));
  ShowNavigation();
}

QWidget* TArchiveForm::DayWidget(const TArchiveDay& day, std::vector<TSavedFile>& toMake) {
  auto* widget = new QWidget;
  auto* layout = new QVBoxLayout(widget);
  auto* heading = new QLabel(ToQString(day.heading + " UTC"), widget);
  heading->setObjectName("DayHeading");
  heading->setStyleSheet("QLabel { font-weight: bold; font-size: 14pt; }");
  layout->addWidget(heading);
  auto* grid = new QGridLayout;
  grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addLayout(grid);
  for (size_t i = 0; i < day.saves.size(); ++i)
    grid->addWidget(Tile(day.saves[i], toMake), static_cast<int>(i) / kTileColumns,
                    static_cast<int>(i) % kTileColumns);
  headings_.push_back(day.heading);
  return widget;
}

TQtArchiveTile* TArchiveForm::Tile(const TSavedFile& save, std::vector<TSavedFile>& toMake) {
  auto* tile = new TQtArchiveTile(save, IsMissing(save.path));
  tiles_.push_back(tile);
  if (tile->State() == atDeleted) return tile;
  connect(tile, &TQtArchiveTile::DoubleClicked, this, [this](const TSavedFile& opened) {
    RunHandler(kArchiveSource, [&] { viewer_.Open(opened); });
  });
  const auto kept = thumbnails_.find(ThumbnailKey(save));
  if (kept != thumbnails_.end())
    tile->ShowThumbnail(kept->second);
  else
    toMake.push_back(save);
  return tile;
}

void TArchiveForm::ShowNavigation() {
  ui_->PageLabel->setText(ToQString(pages_.PageText(pageIndex_)));
  const bool first = pageIndex_ == 0;
  const bool last = pageIndex_ == PageCount() - 1;
  ui_->NewestButton->setEnabled(!first);
  ui_->PreviousButton->setEnabled(!first);
  ui_->NextButton->setEnabled(!last);
  ui_->OldestButton->setEnabled(!last);
}

void TArchiveForm::ThumbnailMade(const TSavedFile& save, const QImage& image,
                                 const QString& error) {
  if (error.isEmpty()) Keep(ThumbnailKey(save), image);
  for (TQtArchiveTile* tile : tiles_) {
    if (!(tile->Save() == save)) continue;
    if (error.isEmpty())
      tile->ShowThumbnail(image);
    else
      tile->ShowUnreadable(error);
  }
  emit ThumbnailArrived();
}

void TArchiveForm::Keep(const std::string& key, const QImage& image) {
  if (!thumbnails_.emplace(key, image).second) return;
  thumbnailOrder_.push_back(key);
  if (thumbnailOrder_.size() <= kKeptThumbnails) return;
  thumbnails_.erase(thumbnailOrder_.front());
  thumbnailOrder_.pop_front();
}

std::string TArchiveForm::SaveLoop(const TLoopSource& source, const std::string& fileName) const {
  const TChartLoop loop =
      MakeSourceLoop(programFolder_, source, loopOffer_.frames, loopOffer_.delayCentiseconds);
  if (loop.frames == 0) return "No saved chart of " + source.title + " could be read";
  try {
    SaveFileAtomically(fileName, [&loop](TStream& stream) {
      stream.WriteBuffer(loop.gif.data(), static_cast<int64_t>(loop.gif.size()));
    });
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

// The loop goes to a file of the operator's choice: it is made to be passed on (mailed,
// put on a page, opened in a browser), while the main window already plays the latest
// chart.
void TArchiveForm::LoopClick() {
  if (loopOffer_.sources.empty()) {
    QMessageBox::information(this, "Loop", "No line of the schedule saves its charts.");
    return;
  }
  QStringList names;
  for (const TLoopSource& source : loopOffer_.sources)
    names << ToQString(source.title + "  (" + source.target + ")");
  bool chosen = false;
  const QString name = QInputDialog::getItem(this, "Loop", "Source:", names, 0, false, &chosen);
  if (!chosen) return;
  const TLoopSource& source = loopOffer_.sources[static_cast<size_t>(names.indexOf(name))];
  const QString fileName = QFileDialog::getSaveFileName(
      this, "Save loop", ToQString(programFolder_ + "loop.gif"), "GIF images (*.gif)");
  if (fileName.isEmpty()) return;
  const std::string problem = SaveLoop(source, fileName.toStdString());
  if (!problem.empty()) QMessageBox::warning(this, "Loop", ToQString(problem));
}
