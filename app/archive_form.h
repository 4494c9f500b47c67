#pragma once
// The archive window: the saved pictures listed in saved.txt as thumbnails, newest first,
// by UTC day, a page at a time. Thumbnails are made by a worker thread and kept in memory
// only; a page shows at once with placeholders that fill in as they come.

#include <QImage>
#include <QWidget>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/picture_viewer_form.h"
#include "app/thumbnail_worker.h"
#include "archive/archive_pages.h"
#include "loop/source_loop.h"
#include "station/station_settings.h"

namespace Ui {
class TArchiveForm;
}
class TQtArchiveTile;

// What "Loop..." offers: the schedule's sources that save charts, and how loops are made.
struct TLoopOffer {
  std::vector<TLoopSource> sources;
  int frames = kDefaultLoopFrames;
  int delayCentiseconds = kDefaultLoopDelayCentiseconds;
};

class TArchiveForm : public QWidget {
  Q_OBJECT

 public:
  // The program folder ends in "/"; tests put in a thumbnail maker of their own.
  TArchiveForm(std::string programFolder, TQtPrinter& printer, QWidget* parent = nullptr,
               TThumbnailMaker maker = DefaultThumbnailMaker());
  ~TArchiveForm() override;

  static TThumbnailMaker DefaultThumbnailMaker();

  Ui::TArchiveForm& Form() { return *ui_; }
  TPictureViewerForm& Viewer() { return viewer_; }
  void SetLog(const TEventLog* log) { viewer_.SetLog(log); }

  // Reads saved.txt again and shows the window at its first page, the newest saves.
  void Open();
  // Shows the page (0 the newest); out of range, the nearest one.
  void ShowPage(int index);
  int PageIndex() const { return pageIndex_; }
  int PageCount() const { return pages_.PageCount(); }
  // The page's tiles, newest first, and its day headings.
  const std::vector<TQtArchiveTile*>& Tiles() const { return tiles_; }
  const std::vector<std::string>& DayHeadings() const { return headings_; }

  void SetLoopOffer(TLoopOffer offer) { loopOffer_ = std::move(offer); }
  // Writes the loop of the source's last charts to fileName, replacing it whole; answers
  // what went wrong, "" when it was saved.
  std::string SaveLoop(const TLoopSource& source, const std::string& fileName) const;

 signals:
  // A thumbnail came from the worker and is on the page, or kept for a later one.
  void ThumbnailArrived();

 private:
  void ReadSavedList();
  QWidget* DayWidget(const TArchiveDay& day, std::vector<TSavedFile>& toMake);
  TQtArchiveTile* Tile(const TSavedFile& save, std::vector<TSavedFile>& toMake);
  void ShowNavigation();
  void ThumbnailMade(const TSavedFile& save, const QImage& image, const QString& error);
  void Keep(const std::string& key, const QImage& image);
  void LoopClick();

  std::unique_ptr<Ui::TArchiveForm> ui_;
  std::string programFolder_;
  TArchivePages pages_;
  int pageIndex_ = 0;
  std::vector<TQtArchiveTile*> tiles_;  // owned by the page's widgets
  std::vector<std::string> headings_;
  // Thumbnails made, by path and save time, the oldest dropped first past the limit.
  std::map<std::string, QImage> thumbnails_;
  std::deque<std::string> thumbnailOrder_;
  TLoopOffer loopOffer_;
  TPictureViewerForm viewer_;
  TThumbnailWorker worker_;  // last: it stops before what its answers use goes
};
