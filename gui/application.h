#pragma once
// The application object of the windows: the default error display for errors that leave
// a handler, the information box, and the processing of pending messages.

#include <exception>
#include <functional>
#include <string>

#include "gui/error_display.h"

class QWidget;

class TApplication {
 public:
  static TApplication& Instance();

  // Shows an error that left a handler and tells the error listener. The source says
  // where it came from: a schedule line's title, "Preview", "Editor", ...
  void ShowException(const std::string& source, const std::exception& error);
  void ShowError(const std::string& source, const std::string& message);
  // An information box with an OK button; returns when it is closed. Tests replace the
  // box with a hook that records the text.
  void ShowMessage(const std::string& text);
  void SetMessageHook(std::function<void(const std::string&)> hook) {
    messageHook_ = std::move(hook);
  }
  // A question with Yes and No; answers whether Yes was chosen. Tests replace the box with
  // a hook that answers.
  bool Ask(const std::string& text);
  void SetQuestionHook(std::function<bool(const std::string&)> hook) {
    questionHook_ = std::move(hook);
  }
  // Called with the source and text of every error shown (the log writes it down).
  using TErrorListener = std::function<void(const std::string& source, const std::string& message)>;
  void SetErrorListener(TErrorListener listener) { errorListener_ = std::move(listener); }
  // Lets every pending window message (and the sockets' events) be processed.
  void ProcessMessages();
  void SetMessagePump(std::function<void()> pump) { extraPump_ = std::move(pump); }

  TErrorDisplay& ErrorDisplay() { return errorDisplay_; }

 private:
  TErrorDisplay errorDisplay_;
  std::function<void(const std::string&)> messageHook_;
  std::function<bool(const std::string&)> questionHook_;
  TErrorListener errorListener_;
  std::function<void()> extraPump_;
};

// Runs a window handler; an error that leaves it goes to the default error display under
// the source's name, and the program keeps running.
template <class Handler>
void RunHandler(const std::string& source, Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    TApplication::Instance().ShowException(source, error);
  }
}
