#pragma once
// A grid of text cells with one title row, counted the way the list files count their
// rows: row 0 is the title row (the table's header) and data row r is the table's row
// r - 1. The cursor is the current cell.

#include <QTableWidget>
#include <string>
#include <vector>

class TStringGrid : public QTableWidget {
  Q_OBJECT

 public:
  explicit TStringGrid(QWidget* parent = nullptr);

  // Rows including the title row; at least 1.
  int RowCount() const { return rowCount() + 1; }
  // Grows with empty rows or drops rows at the end.
  void SetRowCount(int rows);
  // Every cell empty, the title row's too, and rows data rows.
  void Reset(int rows);

  std::string Cells(int column, int row) const;
  void SetCells(int column, int row, const std::string& text);
  std::vector<std::string> RowCells(int row) const;
  template <class Cells>
  void SetRowCells(int row, const Cells& cells) {
    for (int column = 0; column < columnCount() && column < static_cast<int>(cells.size());
         ++column)
      SetCells(column, row, cells[column]);
  }

  // The cursor's row, 0 when the grid has no data row.
  int Row() const { return currentRow() + 1; }
  void SetRow(int row);

  // The rows below move up by one and the last row goes.
  void DeleteRow(int row);
  // The rows from row on move down by one; row becomes empty and gets the cursor.
  void InsertRow(int row);
  void ExchangeRows(int first, int second);

  // Takes an edit in progress into its cell, so that moving rows cannot carry it into
  // another row.
  void FinishEditing();

 signals:
  // The mouse button was released over the title row, above this column.
  void TitleRowMouseUp(int column);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTableWidgetItem* FindItem(int column, int row) const;
  // The cell's item, made when the cell has none yet; the table owns it.
  QTableWidgetItem& CellItem(int column, int row);
};
