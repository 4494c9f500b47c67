#pragma once
// The schedule editor: the resources and the schedule in two grids, edited in place, and
// written back to "resource.txt" and "schedule.txt" only by "Exit and save changes" (or
// by answering Yes when the close box asks about unsaved changes).

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TScheduleForm;
}
class TStringGrid;
class TSourceCheckForm;
struct TUrlColumn;

class TScheduleForm : public QDialog {
  Q_OBJECT

 public:
  explicit TScheduleForm(std::string programFolder, QWidget* parent = nullptr);
  ~TScheduleForm() override;

  Ui::TScheduleForm& Form() { return *ui_; }
  TSourceCheckForm& SourceCheckForm() { return *sourceCheckForm_; }
  bool ReloadGuard() const { return reloadGuard_; }
  // Starts fetching a URL into the preview window; it calls ended when the fetch is over.
  using TPreviewer = std::function<void(const std::string& url, std::function<void()> ended)>;
  void SetPreviewer(TPreviewer previewer) { previewer_ = std::move(previewer); }

 public slots:
  void FormActivate();
  void ResourceDeleteRowClick();
  void ResourceInsertRowBeforeClick();
  void ResourceInsertRowAfterClick();
  void SourceGridMouseUp(int column);
  void ResourcePreviewButtonClick();
  void CopyResourceClick();
  void ScheduleDeleteRowClick();
  void ScheduleInsertRowBeforeClick();
  void ScheduleInsertRowAfterClick();
  void StringGrid1MouseUp(int column);
  void SchedulePreviewButtonClick();
  void CloseNoSaveButtonClick();
  void ExitSaveButtonClick();
  void CheckSourcesButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void done(int result) override;

 private:
  using TGridsText = std::vector<std::vector<std::string>>;

  void ConnectControls();
  bool SaveAndExit();
  // Whether the grids differ from what the last complete load put in them.
  bool Modified();
  TGridsText GridsText();
  void WidenColumnsToTitles();
  void ShowMissingFiles(const std::vector<std::string>& fileNames);
  void LoadGrids();
  // Missing: the file is not there, and the grid starts empty.
  void LoadResourceGrid(bool missing);
  void LoadScheduleGrid(bool missing);
  void Preview(const std::string& url);
  void SetPreviewButtonsEnabled(bool enabled);
  std::vector<TUrlColumn> UrlColumns();
  int UseNewUrl(const std::string& oldUrl, const std::string& newUrl);

  std::unique_ptr<Ui::TScheduleForm> ui_;
  std::string programFolder_;
  // Set by a preview, cleared by both exits: while set, becoming active keeps the grids,
  // so that returning from the preview window keeps unsaved edits.
  bool reloadGuard_ = false;
  // Whether the grids hold both files as the last load read them. After a failed load
  // they hold less (or an earlier opening's rows), and saving them would overwrite the
  // files with it.
  bool gridsLoaded_ = false;
  TGridsText loadedText_;
  TPreviewer previewer_;
  // A window of its own, child of the editor so that it takes input while the editor is
  // modal.
  std::unique_ptr<TSourceCheckForm> sourceCheckForm_;
};
