#include "schedule/qt_string_grid.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "gui/text_conversion.h"

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(parent) {
  verticalHeader()->hide();
  horizontalHeader()->viewport()->installEventFilter(this);
}

bool TStringGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int column = horizontalHeader()->logicalIndexAt(mouse->position().toPoint());
    if (column >= 0) emit TitleRowMouseUp(column);
  }
  return QTableWidget::eventFilter(watched, event);
}

void TStringGrid::SetRowCount(int rows) {
  setRowCount(std::max(rows, 1) - 1);
}

void TStringGrid::Reset(int rows) {
  clearContents();
  for (int column = 0; column < columnCount(); ++column) SetCells(column, 0, {});
  SetRowCount(rows);
}

QTableWidgetItem* TStringGrid::FindItem(int column, int row) const {
  return row == 0 ? horizontalHeaderItem(column) : item(row - 1, column);
}

QTableWidgetItem& TStringGrid::CellItem(int column, int row) {
  if (QTableWidgetItem* item = FindItem(column, row)) return *item;
  auto* item = new QTableWidgetItem;
  if (row == 0)
    setHorizontalHeaderItem(column, item);
  else
    setItem(row - 1, column, item);
  return *item;
}

std::string TStringGrid::Cells(int column, int row) const {
  const QTableWidgetItem* item = FindItem(column, row);
  return item ? ToStdString(item->text()) : std::string();
}

void TStringGrid::SetCells(int column, int row, const std::string& text) {
  CellItem(column, row).setText(ToQString(text));
}

std::vector<std::string> TStringGrid::RowCells(int row) const {
  std::vector<std::string> cells;
  for (int column = 0; column < columnCount(); ++column) cells.push_back(Cells(column, row));
  return cells;
}

void TStringGrid::SetRow(int row) {
  setCurrentCell(row - 1, std::max(currentColumn(), 0));
}

void TStringGrid::DeleteRow(int row) {
  const int column = currentColumn();
  removeRow(row - 1);
  if (rowCount() > 0) setCurrentCell(std::min(row, rowCount()) - 1, std::max(column, 0));
}

void TStringGrid::InsertRow(int row) {
  insertRow(row - 1);
  SetRow(row);
}

void TStringGrid::ExchangeRows(int first, int second) {
  for (int column = 0; column < columnCount(); ++column) {
    const std::string text = Cells(column, first);
    SetCells(column, first, Cells(column, second));
    SetCells(column, second, text);
  }
}

void TStringGrid::FinishEditing() {
  if (state() != QAbstractItemView::EditingState) return;
  QWidget* editor = indexWidget(currentIndex());
  if (!editor) return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}
