#pragma once
// The sources table of the main window: one row for each schedule line, with its due time,
// title, state in its colour, last good save, failing since and last error, as the station
// tells them. Sortable by any column; a refresh keeps the operator's sort and scroll.

#include <QTableWidget>
#include <string>
#include <vector>

#include "station/source_row.h"

class TQtSourcesTable : public QTableWidget {
  Q_OBJECT

 public:
  enum TColumn { scDue, scTitle, scState, scLastGoodSave, scFailingSince, scLastError };

  explicit TQtSourcesTable(QWidget* parent = nullptr);

  void Show(const std::vector<TSourceRow>& rows);

 private:
  void SetCell(int row, TColumn column, const std::string& text);
};
