#pragma once
// The default error display: one box that never blocks the program. Errors that arrive
// while it is open join it, as the latest distinct messages with their UTC time, repeat
// count and source (see TErrorList), so an unattended station collects them instead of
// piling up windows, stopping at a modal one, or growing one box off the screen.

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextEdit>
#include <ctime>
#include <functional>
#include <string>

#include "gui/error_list.h"

class TErrorDisplay : public QObject {
  Q_OBJECT

 public:
  // The source names where the error came from: a schedule line's title, "Preview", ...
  void Show(const std::string& source, const std::string& message);
  bool IsShowing() const;
  // The text the box shows while it is open (empty when it is closed).
  QString Text() const;
  // The message of the error shown last, without time, source or count.
  std::string LatestMessage() const;
  // Closes the box; the next error opens a new, empty one.
  void Dismiss();
  // The box itself while it is open (tests measure it).
  QDialog* Box() const { return box_; }
  // Where the times come from, seconds since 1970 (tests fix them).
  void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

 private:
  void OpenBox();
  void Refresh();

  QPointer<QDialog> box_;
  QPointer<QTextEdit> view_;
  TErrorList errors_;
  // Errors that come in a burst are drawn once, when the window's thread is next idle.
  bool refreshPending_ = false;
  std::function<std::time_t()> clock_ = [] { return std::time(nullptr); };
};
