#pragma once
// The source check's window: every URL of the editor's grids with what its server answered,
// filled in while the check runs. It is not modal, so the editor stays usable meanwhile; a
// URL that moved for good can be written into the grids from here.

#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "source_check/source_check.h"

namespace Ui {
class TSourceCheckForm;
}

class TSourceCheckForm : public QWidget {
  Q_OBJECT

 public:
  explicit TSourceCheckForm(QWidget* parent = nullptr);
  ~TSourceCheckForm() override;

  Ui::TSourceCheckForm& Form() { return *ui_; }
  bool Running() const { return running_; }

  // Lists the URLs and starts checking them, a check that still runs cancelled first;
  // returns at once.
  void Check(std::vector<std::string> urls);
  // "Use the new URL": writes newUrl into the grids' rows that have oldUrl and answers how
  // many rows changed.
  std::function<int(const std::string& oldUrl, const std::string& newUrl)> OnUseNewUrl;

 public slots:
  void CancelButtonClick();
  void CloseButtonClick();
  void UseNewUrlClick(int row);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ListUrls();
  void ShowResult(std::size_t index, const TSourceCheckResult& result);
  void WidenStatusColumn();
  void ShowProgress();
  void Finish();
  void SetCell(int row, int column, const std::string& text);

  std::unique_ptr<Ui::TSourceCheckForm> ui_;
  std::unique_ptr<TSourceCheck> check_;
  std::vector<std::string> urls_;
  std::vector<TSourceCheckResult> results_;
  std::vector<bool> done_;
  bool running_ = false;
};
