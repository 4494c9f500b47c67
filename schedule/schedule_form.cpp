#include "schedule/schedule_form.h"

#include <QApplication>
#include <QHeaderView>
#include <QShowEvent>

#include "gui/application.h"
#include "gui/window_placement.h"
#include "runtime/exceptions.h"
#include "schedule/list_files.h"
#include "schedule/qt_string_grid.h"
#include "schedule/row_sort.h"
#include "ui_schedule_form.h"

namespace {

constexpr std::array<int, kResourceColumnCount> kResourceColumnWidths = {73, 38,  39, 35,
                                                                         37, 228, 16, 276};
constexpr std::array<int, kScheduleFieldCount> kScheduleColumnWidths = {64, 27, 252, 277, 28, 100};
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

}  // namespace

TScheduleForm::TScheduleForm(std::string programFolder, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TScheduleForm>()),
      programFolder_(std::move(programFolder)) {
  ui_->setupUi(this);
  SetGridSizes(*ui_->SourceGrid, kResourceColumnWidths, kResourceRowHeight);
  SetGridSizes(*ui_->StringGrid1, kScheduleColumnWidths, kScheduleRowHeight);
  ConnectControls();
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
  LoadResourceGrid();
  LoadScheduleGrid();
  gridsLoaded_ = true;
}

void TScheduleForm::LoadResourceGrid() {
  // Read before touching the grid: a missing file leaves both grids as they were.
  const std::vector<ResourceEntry> entries = LoadResourceFile(programFolder_ + kResourceFileName);
  TStringGrid& grid = *ui_->SourceGrid;
  grid.Reset(std::max(static_cast<int>(entries.size()), kLoadedRowCount));
  for (size_t row = 0; row < entries.size(); ++row)
    grid.SetRowCells(static_cast<int>(row), entries[row].fields);
}

void TScheduleForm::LoadScheduleGrid() {
  TStringGrid& grid = *ui_->StringGrid1;
  grid.Reset(kLoadedRowCount);
  grid.SetRowCells(0, kScheduleTitles);
  const std::vector<ScheduleEvent> events = LoadScheduleFile(programFolder_ + kScheduleFileName);
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

// The buttons stay disabled while the preview downloads: a second press would replace the
// running download's file before the busy client refused it.
void TScheduleForm::Preview(const std::string& url) {
  reloadGuard_ = true;
  if (!previewer_) return;
  SetPreviewButtonsEnabled(false);
  RunHandler(kPreviewSource, [&] { previewer_(url); });
  SetPreviewButtonsEnabled(true);
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
  RunHandler(kEditorSource, [this] {
    reloadGuard_ = false;
    if (!gridsLoaded_) throw Exception(kNotLoadedMessage);
    SaveListFiles(programFolder_, RowsOf<ScheduleEvent>(*ui_->StringGrid1, 1),
                  RowsOf<ResourceEntry>(*ui_->SourceGrid, 0));
    accept();
  });
}
