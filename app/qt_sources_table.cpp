#include "app/qt_sources_table.h"

#include <QHeaderView>

#include "app/source_texts.h"
#include "gui/text_conversion.h"

namespace {

constexpr const char* kTitles[] = {"Due (UTC)",      "Title",         "State",
                                   "Last good save", "Failing since", "Last error"};
constexpr int kColumnCount = static_cast<int>(std::size(kTitles));
constexpr int kTitleWidth = 180;
constexpr int kRowHeight = 20;

// A new source, not tried yet, keeps the table's own background.
QBrush StateBackground(TSourceState state) {
  switch (state) {
    case ssOk:
      return QColor(200, 240, 200);
    case ssRetrying:
      return QColor(255, 214, 140);
    case ssGivenUp:
      return QColor(240, 128, 128);
    case ssUnchanged:
      return QColor(240, 230, 120);
    case ssNew:
      break;
  }
  return {};
}

}  // namespace

TQtSourcesTable::TQtSourcesTable(QWidget* parent) : QTableWidget(0, kColumnCount, parent) {
  for (int column = 0; column < kColumnCount; ++column)
    setHorizontalHeaderItem(column, new QTableWidgetItem(kTitles[column]));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  QHeaderView& header = *horizontalHeader();
  header.setSectionResizeMode(QHeaderView::ResizeToContents);
  header.setSectionResizeMode(scTitle, QHeaderView::Interactive);
  setColumnWidth(scTitle, kTitleWidth);
  // The error, the longest text, takes what is left and gives way first.
  header.setStretchLastSection(true);
  header.setSortIndicator(scDue, Qt::AscendingOrder);
  setSortingEnabled(true);
}

// Filled in the station's order, then sorted again as the operator chose; the items stay,
// so a selection and the scroll position survive the refresh.
void TQtSourcesTable::Show(const std::vector<TSourceRow>& rows) {
  setSortingEnabled(false);
  setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < rowCount(); ++row) {
    const TSourceRow& source = rows[static_cast<size_t>(row)];
    SetCell(row, scDue, source.dueTime);
    SetCell(row, scTitle, source.title);
    SetCell(row, scState, SourceStateName(source.state));
    item(row, scState)->setBackground(StateBackground(source.state));
    SetCell(row, scLastGoodSave, SourceTimeText(source.lastGoodSave));
    item(row, scLastGoodSave)->setToolTip(ToQString(source.lastGoodFile));
    SetCell(row, scFailingSince, SourceTimeText(TroubleSince(source)));
    SetCell(row, scLastError, source.lastError);
    item(row, scLastError)->setToolTip(ToQString(source.lastError));
  }
  setSortingEnabled(true);
}

void TQtSourcesTable::SetCell(int row, TColumn column, const std::string& text) {
  const QString shown = ToQString(text);
  if (QTableWidgetItem* cell = item(row, column)) {
    if (cell->text() != shown) cell->setText(shown);
    return;
  }
  setItem(row, column, new QTableWidgetItem(shown));
}
