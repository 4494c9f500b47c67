#pragma once
// The dialog in which the operator sets the JPEG save quality: the text of "jpegcomp.txt"
// in one edit box. OK takes only a whole number from 0 to 100; anything else is named in
// the dialog, which stays open: an unchecked text would save every JPEG at quality 0.

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TJPEGCompressionForm;
}

class TJPEGCompressionForm : public QDialog {
  Q_OBJECT

 public:
  explicit TJPEGCompressionForm(QWidget* parent = nullptr);
  ~TJPEGCompressionForm() override;

  Ui::TJPEGCompressionForm& Form() { return *ui_; }

  // Shows the text in Edit1 modally. The answer is the edited text when the dialog was
  // closed with OK, nothing after Cancel or the close box.
  std::optional<std::string> Edit(const std::string& text);

 public slots:
  void accept() override;

 private:
  std::unique_ptr<Ui::TJPEGCompressionForm> ui_;
};
