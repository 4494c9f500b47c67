#include "schedule/schedule_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShowEvent>
#include <filesystem>

#include "gui/application.h"
#include "gui/text_conversion.h"
#include "gui/window_placement.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "schedule/list_files.h"
#include "schedule/qt_string_grid.h"
#include "schedule/row_sort.h"
#include "schedule/source_check_form.h"
#include "schedule/source_urls.h"
#include "ui_schedule_form.h"

namespace {

constexpr std::array<int, kResourceColumnCount> kResourceColumnWidths = {73, 38,  39, 35,
                                                                         37, 228, 16, 276};
// Filename holds paths: wide enough for a folder and a name built from date codes.
constexpr std::array<int, kScheduleFieldCount> kScheduleColumnWidths = {64, 27, 252, 277, 28, 220};
// Narrower than the style's default minimum, which would widen the 16-pixel Neg column.
constexpr int kMinimumColumnWidth = 8;
constexpr int kResourceRowHeight = 16;
constexpr int kScheduleRowHeight = 18;
// A grid loads into a title row and at least one data row.
constexpr int kLoadedRowCount = 2;
// Where the editor's errors come from, as the error display names them.
constexpr const char* kEditorSource = "Editor";
constexpr const char* kPreviewSource = "Preview";
constexpr const char* kNotLoadedMessage =
    "The lists were not loaded completely, so they are not saved: resource.txt and "
    "schedule.txt keep their content.";
constexpr const char* kSaveQuestion = "Save changes to the schedule and the resources?";
constexpr const char* kNothingSaved = ". Nothing was saved.";

// The title row a resource list gets when it is made new.
ResourceEntry NewResourceTitles() {
  ResourceEntry titles;
  std::copy(kResourceTitles.begin(), kResourceTitles.end(), titles.fields.begin());
  return titles;
}

template <size_t N>
void SetGridSizes(TStringGrid& grid, const std::array<int, N>& columnWidths, int rowHeight) {
  grid.horizontalHeader()->setMinimumSectionSize(kMinimumColumnWidth);
  for (size_t column = 0; column < N; ++column)
    grid.setColumnWidth(static_cast<int>(column), columnWidths[column]);
  grid.verticalHeader()->setMinimumSectionSize(rowHeight);
  grid.verticalHeader()->setDefaultSectionSize(rowHeight);
}

void DeleteRowAtCursor(TStringGrid& grid) {
  grid.FinishEditing();
  if (grid.Row() > 0) grid.DeleteRow(grid.Row());
}

// Where a row is inserted, counted from the cursor row.
constexpr int kInsertBefore = 0;
constexpr int kInsertAfter = 1;

// A grid without data rows gets its first one.
void InsertRowAtCursor(TStringGrid& grid, int offset) {
  grid.FinishEditing();
  grid.InsertRow(std::max(grid.Row() + offset, 1));
}

// Restores the default cursor and the grid's repainting however the sort ends.
class TSortInProgress {
 public:
  explicit TSortInProgress(TStringGrid& grid) : grid_(grid) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    grid_.setUpdatesEnabled(false);
  }
  ~TSortInProgress() {
    grid_.setUpdatesEnabled(true);
    grid_.viewport()->update();
    QApplication::restoreOverrideCursor();
  }
  TSortInProgress(const TSortInProgress&) = delete;
  TSortInProgress& operator=(const TSortInProgress&) = delete;

 private:
  TStringGrid& grid_;
};

void SortByColumn(TStringGrid& grid, int column) {
  grid.FinishEditing();
  TSortInProgress sorting(grid);
  QuickSortRows(
      1, grid.RowCount() - 1, [&grid, column](int row) { return grid.Cells(column, row); },
      [&grid](int first, int second) { grid.ExchangeRows(first, second); });
}

// A list file that is not there at all is a list not made yet: it loads empty and the
// first save creates it. One that is there but cannot be read (a link to a share that is
// down) still fails the load, so that saving cannot replace it.
bool IsMissing(const std::string& fileName) {
  std::error_code error;
  return std::filesystem::symlink_status(fileName, error).type() ==
         std::filesystem::file_type::not_found;
}

std::string MissingFilesNote(const std::vector<std::string>& fileNames) {
  if (fileNames.empty()) return {};
  std::string names;
  for (const std::string& name : fileNames) names += (names.empty() ? "" : " and ") + name;
  const bool one = fileNames.size() == 1;
  return names + (one ? " was" : " were") + " not found: " + (one ? "it starts" : "they start") +
         " empty, and \"Exit and save changes\" creates " + (one ? "it." : "them.");
}

// A column is never narrower than its title in the grid's font.
void WidenToTitles(TStringGrid& grid) {
  const QHeaderView& header = *grid.horizontalHeader();
  for (int column = 0; column < grid.columnCount(); ++column)
    grid.setColumnWidth(column, std::max(grid.columnWidth(column), header.sectionSizeHint(column)));
}

template <class Row>
std::vector<Row> RowsOf(TStringGrid& grid, int firstRow) {
  grid.FinishEditing();
  std::vector<Row> rows;
  for (int row = firstRow; row < grid.RowCount(); ++row) {
    Row& stored = rows.emplace_back();
    const std::vector<std::string> cells = grid.RowCells(row);
    std::copy_n(cells.begin(), std::min(cells.size(), stored.fields.size()), stored.fields.begin());
  }
  return rows;
}

// A row that a save would cut, or that could never fall due, stops the save with its
// reason, and the cursor goes to it.
template <class Row>
void CheckRowsFit(TStringGrid& grid, const std::vector<Row>& rows, int firstRow,
                  const std::string& list) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string problem = rows[i].Problem();
    if (problem.empty()) continue;
    const int row = firstRow + static_cast<int>(i);
    grid.SetRow(row);
    throw Exception(list + " row " + IntToStr(row) + ": " + problem + kNothingSaved);
  }
}

// Data rows only: the title rows hold the column titles.
TUrlColumn UrlColumn(TStringGrid& grid, int column, std::size_t width) {
  grid.FinishEditing();
  TUrlColumn urls{{}, width};
  for (int row = 1; row < grid.RowCount(); ++row) urls.cells.push_back(grid.Cells(column, row));
  return urls;
}

// Only the cells that changed are written, so that the others keep their state.
void SetUrlColumn(TStringGrid& grid, int column, const TUrlColumn& urls) {
  for (int row = 1; row < grid.RowCount() && row <= static_cast<int>(urls.cells.size()); ++row)
    if (grid.Cells(column, row) != urls.cells[row - 1])
      grid.SetCells(column, row, urls.cells[row - 1]);
}

}  // namespace

TScheduleForm::TScheduleForm(std::string programFolder, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TScheduleForm>()),
      programFolder_(std::move(programFolder)),
      sourceCheckForm_(std::make_unique<TSourceCheckForm>(this)) {
  ui_->setupUi(this);
  SetGridSizes(*ui_->SourceGrid, kResourceColumnWidths, kResourceRowHeight);
  SetGridSizes(*ui_->StringGrid1, kScheduleColumnWidths, kScheduleRowHeight);
  ConnectControls();
  sourceCheckForm_->OnUseNewUrl = [this](const std::string& oldUrl, const std::string& newUrl) {
    return UseNewUrl(oldUrl, newUrl);
  };
  // Modal to the main window only, so that the preview window and the error display
  // opened while editing can be used.
  setWindowModality(Qt::WindowModal);
  CentreOnScreen(*this);
}

TScheduleForm::~TScheduleForm() = default;

void TScheduleForm::ConnectControls() {
  const auto onClick = [this](QPushButton* button, void (TScheduleForm::*handler)()) {
    connect(button, &QPushButton::clicked, this, handler);
  };
  onClick(ui_->ResourceDeleteRow, &TScheduleForm::ResourceDeleteRowClick);
  onClick(ui_->ResourceInsertRowBefore, &TScheduleForm::ResourceInsertRowBeforeClick);
  onClick(ui_->ResourceInsertRowAfter, &TScheduleForm::ResourceInsertRowAfterClick);
  onClick(ui_->ResourcePreviewButton, &TScheduleForm::ResourcePreviewButtonClick);
  onClick(ui_->CopyResource, &TScheduleForm::CopyResourceClick);
  onClick(ui_->ScheduleDeleteRow, &TScheduleForm::ScheduleDeleteRowClick);
  onClick(ui_->ScheduleInsertRowBefore, &TScheduleForm::ScheduleInsertRowBeforeClick);
  onClick(ui_->ScheduleInsertRowAfter, &TScheduleForm::ScheduleInsertRowAfterClick);
  onClick(ui_->SchedulePreviewButton, &TScheduleForm::SchedulePreviewButtonClick);
  onClick(ui_->CloseNoSaveButton, &TScheduleForm::CloseNoSaveButtonClick);
  onClick(ui_->ExitSaveButton, &TScheduleForm::ExitSaveButtonClick);
  onClick(ui_->CheckSourcesButton, &TScheduleForm::CheckSourcesButtonClick);
  connect(ui_->SourceGrid, &TStringGrid::TitleRowMouseUp, this, &TScheduleForm::SourceGridMouseUp);
  connect(ui_->StringGrid1, &TStringGrid::TitleRowMouseUp, this,
          &TScheduleForm::StringGrid1MouseUp);
}

// Each opening makes the window active. Returning to it from another window (the preview,
// a message box, another program) is not treated as a new activation: reloading then
// would throw away the operator's unsaved edits.
void TScheduleForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormActivate();
}

void TScheduleForm::FormActivate() {
  RunHandler(kEditorSource, [this] {
    if (!reloadGuard_) LoadGrids();
  });
}

void TScheduleForm::LoadGrids() {
  gridsLoaded_ = false;
  const bool resourcesMissing = IsMissing(programFolder_ + kResourceFileName);
  const bool scheduleMissing = IsMissing(programFolder_ + kScheduleFileName);
  std::vector<std::string> missing;
  if (resourcesMissing) missing.push_back(kResourceFileName);
  if (scheduleMissing) missing.push_back(kScheduleFileName);
  ShowMissingFiles(missing);
  LoadResourceGrid(resourcesMissing);
  LoadScheduleGrid(scheduleMissing);
  WidenColumnsToTitles();
  loadedText_ = GridsText();
  gridsLoaded_ = true;
}

void TScheduleForm::ShowMissingFiles(const std::vector<std::string>& fileNames) {
  ui_->MissingFilesNote->setText(ToQString(MissingFilesNote(fileNames)));
  ui_->MissingFilesNote->setVisible(!fileNames.empty());
}

void TScheduleForm::WidenColumnsToTitles() {
  WidenToTitles(*ui_->SourceGrid);
  WidenToTitles(*ui_->StringGrid1);
}

void TScheduleForm::LoadResourceGrid(bool missing) {
  // Read before touching the grid: a file that cannot be read leaves both grids as they were.
  const std::vector<ResourceEntry> entries =
      missing ? std::vector<ResourceEntry>{NewResourceTitles()}
              : LoadResourceFile(programFolder_ + kResourceFileName);
  TStringGrid& grid = *ui_->SourceGrid;
  grid.Reset(std::max(static_cast<int>(entries.size()), kLoadedRowCount));
  for (size_t row = 0; row < entries.size(); ++row)
    grid.SetRowCells(static_cast<int>(row), entries[row].fields);
}

void TScheduleForm::LoadScheduleGrid(bool missing) {
  TStringGrid& grid = *ui_->StringGrid1;
  grid.Reset(kLoadedRowCount);
  grid.SetRowCells(0, kScheduleTitles);
  const std::vector<ScheduleEvent> events =
      missing ? std::vector<ScheduleEvent>{} : LoadScheduleFile(programFolder_ + kScheduleFileName);
  grid.SetRowCount(std::max(static_cast<int>(events.size()) + 1, kLoadedRowCount));
  for (size_t row = 0; row < events.size(); ++row)
    grid.SetRowCells(static_cast<int>(row) + 1, events[row].fields);
}

void TScheduleForm::ResourceDeleteRowClick() {
  DeleteRowAtCursor(*ui_->SourceGrid);
}
void TScheduleForm::ResourceInsertRowBeforeClick() {
  InsertRowAtCursor(*ui_->SourceGrid, kInsertBefore);
}
void TScheduleForm::ResourceInsertRowAfterClick() {
  InsertRowAtCursor(*ui_->SourceGrid, kInsertAfter);
}
void TScheduleForm::ScheduleDeleteRowClick() {
  DeleteRowAtCursor(*ui_->StringGrid1);
}
void TScheduleForm::ScheduleInsertRowBeforeClick() {
  InsertRowAtCursor(*ui_->StringGrid1, kInsertBefore);
}
void TScheduleForm::ScheduleInsertRowAfterClick() {
  InsertRowAtCursor(*ui_->StringGrid1, kInsertAfter);
}

void TScheduleForm::SourceGridMouseUp(int column) {
  RunHandler(kEditorSource, [&] { SortByColumn(*ui_->SourceGrid, column); });
}

void TScheduleForm::StringGrid1MouseUp(int column) {
  RunHandler(kEditorSource, [&] { SortByColumn(*ui_->StringGrid1, column); });
}

void TScheduleForm::CopyResourceClick() {
  TStringGrid& resources = *ui_->SourceGrid;
  TStringGrid& schedule = *ui_->StringGrid1;
  resources.FinishEditing();
  schedule.FinishEditing();
  const int from = resources.Row();
  const int to = schedule.Row();
  if (from == 0 || to == 0) return;
  schedule.SetCells(sfNeg, to, resources.Cells(rcNeg, from));
  schedule.SetCells(sfResourceName, to, resources.Cells(rcResourceName, from));
  schedule.SetCells(sfURL, to, resources.Cells(rcURL, from));
}

void TScheduleForm::ResourcePreviewButtonClick() {
  TStringGrid& grid = *ui_->SourceGrid;
  grid.FinishEditing();
  if (grid.Row() > 0) Preview(grid.Cells(rcURL, grid.Row()));
}

void TScheduleForm::SchedulePreviewButtonClick() {
  TStringGrid& grid = *ui_->StringGrid1;
  grid.FinishEditing();
  if (grid.Row() > 0) Preview(grid.Cells(sfURL, grid.Row()));
}

// The buttons stay disabled while the preview downloads: a second press would only meet
// the busy client.
void TScheduleForm::Preview(const std::string& url) {
  reloadGuard_ = true;
  if (!previewer_) return;
  SetPreviewButtonsEnabled(false);
  const auto enable = [this] { SetPreviewButtonsEnabled(true); };
  try {
    previewer_(url, enable);
  } catch (const std::exception& error) {
    enable();
    TApplication::Instance().ShowException(kPreviewSource, error);
  }
}

void TScheduleForm::SetPreviewButtonsEnabled(bool enabled) {
  ui_->ResourcePreviewButton->setEnabled(enabled);
  ui_->SchedulePreviewButton->setEnabled(enabled);
}

void TScheduleForm::CloseNoSaveButtonClick() {
  reloadGuard_ = false;
  reject();
}

void TScheduleForm::ExitSaveButtonClick() {
  SaveAndExit();
}

bool TScheduleForm::SaveAndExit() {
  bool saved = false;
  RunHandler(kEditorSource, [this, &saved] {
    reloadGuard_ = false;
    if (!gridsLoaded_) throw Exception(kNotLoadedMessage);
    const auto events = RowsOf<ScheduleEvent>(*ui_->StringGrid1, 1);
    const auto entries = RowsOf<ResourceEntry>(*ui_->SourceGrid, 0);
    CheckRowsFit(*ui_->StringGrid1, events, 1, "Schedule");
    CheckRowsFit(*ui_->SourceGrid, entries, 0, "Resource");
    SaveListFiles(programFolder_, events, entries);
    saved = true;
    accept();
  });
  return saved;
}

void TScheduleForm::CheckSourcesButtonClick() {
  RunHandler(kEditorSource, [this] {
    TSourceCheckForm& form = *sourceCheckForm_;
    form.Check(SourceUrls(UrlColumns()));
    form.show();
    form.raise();
  });
}

std::vector<TUrlColumn> TScheduleForm::UrlColumns() {
  return {UrlColumn(*ui_->SourceGrid, rcURL, kResourceUrlWidth),
          UrlColumn(*ui_->StringGrid1, sfURL, kScheduleUrlWidth)};
}

// An edit like the operator's own: saved only by "Exit and save changes".
int TScheduleForm::UseNewUrl(const std::string& oldUrl, const std::string& newUrl) {
  std::vector<TUrlColumn> columns = UrlColumns();
  const int changed = ReplaceSourceUrl(columns, oldUrl, newUrl);
  SetUrlColumn(*ui_->SourceGrid, rcURL, columns[0]);
  SetUrlColumn(*ui_->StringGrid1, sfURL, columns[1]);
  return changed;
}

// The check's rows belong to the grids of this opening: both exits end it.
void TScheduleForm::done(int result) {
  sourceCheckForm_->close();
  QDialog::done(result);
}

TScheduleForm::TGridsText TScheduleForm::GridsText() {
  TGridsText text;
  for (TStringGrid* grid : {ui_->SourceGrid, ui_->StringGrid1}) {
    grid->FinishEditing();
    for (int row = 0; row < grid->RowCount(); ++row) text.push_back(grid->RowCells(row));
    text.emplace_back();  // where one grid ends
  }
  return text;
}

// Grids that did not load completely cannot be saved, so there is nothing to ask about.
bool TScheduleForm::Modified() {
  return gridsLoaded_ && GridsText() != loadedText_;
}

// The close box keeps unsaved edits only when asked to: Yes saves (and stays open when the
// save fails), No drops them as "Exit without saving" does, Cancel goes back to editing.
void TScheduleForm::closeEvent(QCloseEvent* event) {
  if (!isVisible() || !Modified()) {
    QDialog::closeEvent(event);
    return;
  }
  const auto answer = QMessageBox::question(
      this, windowTitle(), kSaveQuestion, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
      QMessageBox::Cancel);
  if (answer == QMessageBox::Yes && SaveAndExit()) {
    event->accept();
  } else if (answer == QMessageBox::No) {
    CloseNoSaveButtonClick();
    event->accept();
  } else {
    event->ignore();
  }
}

// Escape would end the editor and drop the edits without a question.
void TScheduleForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TScheduleForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::FontChange) WidenColumnsToTitles();
}
