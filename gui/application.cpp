#include "gui/application.h"

#include <QApplication>
#include <QMessageBox>

#include "gui/text_conversion.h"

TApplication& TApplication::Instance() {
  static TApplication application;
  return application;
}

void TApplication::ShowException(const std::string& source, const std::exception& error) {
  ShowError(source, error.what());
}

void TApplication::ShowError(const std::string& source, const std::string& message) {
  if (errorListener_) errorListener_(source, message);
  errorDisplay_.Show(source, message);
}

void TApplication::ShowMessage(const std::string& text) {
  if (messageHook_) {
    messageHook_(text);
    return;
  }
  QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(),
                           ToQString(text), QMessageBox::Ok);
}

bool TApplication::Ask(const std::string& text) {
  if (questionHook_) return questionHook_(text);
  return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationName(),
                               ToQString(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TApplication::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (extraPump_) extraPump_();
}
