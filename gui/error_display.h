#pragma once
// The default error display: one message box that never blocks the program. Errors that
// arrive while it is open are appended to it, so an unattended station collects them
// instead of piling up windows (or stopping at a modal one).

#include <QObject>
#include <QPointer>
#include <QString>

class QMessageBox;

class TErrorDisplay : public QObject {
  Q_OBJECT

 public:
  void Show(const QString& message);
  bool IsShowing() const;
  // The text of the box while it is open (empty when it is closed).
  QString Text() const;
  // Closes the box; the next error opens a new one.
  void Dismiss();

 private:
  QPointer<QMessageBox> box_;
};
