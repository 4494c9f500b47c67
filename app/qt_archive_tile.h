#pragma once
// One picture of the archive window: its thumbnail (or why there is none) above the UTC
// time of its save and its file name; a double-click asks for the picture at full size.

#include <QFrame>
#include <QImage>
#include <QLabel>

#include "archive/saved_list.h"

enum TArchiveTileState { atLoading, atShown, atDeleted, atUnreadable };

class TQtArchiveTile : public QFrame {
  Q_OBJECT

 public:
  TQtArchiveTile(TSavedFile save, bool deleted, QWidget* parent = nullptr);

  const TSavedFile& Save() const { return save_; }
  TArchiveTileState State() const { return state_; }
  // What the thumbnail's place says while it holds no picture ("loading...", "deleted").
  QString PlaceText() const { return picture_->text(); }
  const QLabel& Picture() const { return *picture_; }

  void ShowThumbnail(const QImage& image);
  void ShowUnreadable(const QString& reason);

 signals:
  void DoubleClicked(const TSavedFile& save);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ShowPlaceText(TArchiveTileState state, const char* text);

  TSavedFile save_;
  TArchiveTileState state_ = atLoading;
  QLabel* picture_;  // owned by the tile
  QLabel* caption_;  // owned by the tile
};
