#include "schedule/source_check_form.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPushButton>
#include <algorithm>

#include "gui/application.h"
#include "gui/text_conversion.h"
#include "http/url_helpers.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "ui_source_check_form.h"

namespace {

enum TResultColumn {
  scUrl,
  scStatus,
  scContentType,
  scLength,
  scLastModified,
  scFinalUrl,
  scUseNewUrl
};
// Columns of long texts, cut to these widths; the others are as wide as their texts.
constexpr int kUrlColumnWidth = 230;
constexpr int kStatusColumnWidth = 230;
// A status is read whole ("Connection timed out (Error #10060)"): its column widens to the
// longest, but a server's endless reason phrase does not push the other columns away.
constexpr int kMaxStatusColumnWidth = 640;
constexpr int kRowHeight = 22;
constexpr const char* kCheckSource = "Source check";
constexpr const char* kCredentialsLost =
    "The old URL carries a user name or password that the new one has not: no row was changed";
constexpr const char* kUseNewUrlCaption = "Use the new URL";

bool Cancelled(const TSourceCheckResult& result) {
  return result.Status == kSourceCheckCancelledText;
}

QColor StatusColour(const TSourceCheckResult& result) {
  if (Cancelled(result)) return Qt::darkGray;
  return result.Ok ? Qt::darkGreen : Qt::darkRed;
}

std::string Credentials(const std::string& url) {
  TUrlParts parts;
  std::string path;
  SplitURL(url, parts, path);
  return parts.user + ":" + parts.password;
}

// A source's user and password live in its URL only, and the URL a server redirected to
// never carries them: taking it would make every later fetch fail its log-in.
void CheckKeepsCredentials(const std::string& oldUrl, const std::string& newUrl) {
  if (Credentials(oldUrl) != Credentials(newUrl)) throw Exception(kCredentialsLost);
}

std::string RowsChanged(int rows) {
  return rows == 1 ? "1 row changed" : IntToStr(rows) + " rows changed";
}

}  // namespace

TSourceCheckForm::TSourceCheckForm(QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::TSourceCheckForm>()) {
  ui_->setupUi(this);
  QTableWidget& grid = *ui_->ResultGrid;
  grid.verticalHeader()->hide();
  grid.verticalHeader()->setDefaultSectionSize(kRowHeight);
  QHeaderView& header = *grid.horizontalHeader();
  header.setSectionResizeMode(QHeaderView::ResizeToContents);
  for (const auto& [column, width] : {std::pair{scUrl, kUrlColumnWidth},
                                      {scStatus, kStatusColumnWidth},
                                      {scFinalUrl, kUrlColumnWidth}}) {
    header.setSectionResizeMode(column, QHeaderView::Interactive);
    grid.setColumnWidth(column, width);
  }
  header.setSectionResizeMode(scUseNewUrl, QHeaderView::Interactive);
  grid.setColumnWidth(scUseNewUrl, QPushButton(kUseNewUrlCaption).sizeHint().width());
  header.setStretchLastSection(true);
  // A URL's host and file name tell it apart; its middle is what is left out.
  grid.setTextElideMode(Qt::ElideMiddle);
  ui_->CancelButton->setEnabled(false);
  connect(ui_->CancelButton, &QPushButton::clicked, this, &TSourceCheckForm::CancelButtonClick);
  connect(ui_->CloseButton, &QPushButton::clicked, this, &TSourceCheckForm::CloseButtonClick);
}

TSourceCheckForm::~TSourceCheckForm() = default;

void TSourceCheckForm::Check(std::vector<std::string> urls) {
  CancelButtonClick();
  urls_ = std::move(urls);
  results_.assign(urls_.size(), {});
  done_.assign(urls_.size(), false);
  ListUrls();
  check_ = std::make_unique<TSourceCheck>();
  check_->OnResult = [this](std::size_t index, const TSourceCheckResult& result) {
    RunHandler(kCheckSource, [&] { ShowResult(index, result); });
  };
  check_->OnFinished = [this] { RunHandler(kCheckSource, [this] { Finish(); }); };
  running_ = true;
  ui_->CancelButton->setEnabled(true);
  ShowProgress();
  check_->Start(urls_);
}

void TSourceCheckForm::ListUrls() {
  QTableWidget& grid = *ui_->ResultGrid;
  grid.clearContents();
  grid.setRowCount(static_cast<int>(urls_.size()));
  for (std::size_t row = 0; row < urls_.size(); ++row)
    SetCell(static_cast<int>(row), scUrl, UrlWithoutPassword(urls_[row]));
  grid.setCurrentItem(nullptr);
}

void TSourceCheckForm::SetCell(int row, int column, const std::string& text) {
  auto* item = new QTableWidgetItem(ToQString(text));
  item->setToolTip(item->text());
  ui_->ResultGrid->setItem(row, column, item);
}

void TSourceCheckForm::ShowResult(std::size_t index, const TSourceCheckResult& result) {
  if (index >= urls_.size()) return;
  results_[index] = result;
  done_[index] = true;
  const int row = static_cast<int>(index);
  SetCell(row, scStatus, result.Status);
  ui_->ResultGrid->item(row, scStatus)->setForeground(StatusColour(result));
  WidenStatusColumn();
  // What the first bytes are ("image/gif 1728x2200") says more than what the server calls them.
  SetCell(row, scContentType, result.Content.empty() ? result.ContentType : result.Content);
  SetCell(row, scLength, result.ContentLength < 0 ? "" : IntToStr(result.ContentLength));
  ui_->ResultGrid->item(row, scLength)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetCell(row, scLastModified, result.LastModified);
  SetCell(row, scFinalUrl, UrlWithoutPassword(result.FinalUrl));
  if (!result.PermanentUrl.empty()) {
    auto* button = new QPushButton(kUseNewUrlCaption);
    button->setToolTip(ToQString(UrlWithoutPassword(result.PermanentUrl)));
    connect(button, &QPushButton::clicked, this, [this, row] { UseNewUrlClick(row); });
    ui_->ResultGrid->setCellWidget(row, scUseNewUrl, button);
  }
  ShowProgress();
}

void TSourceCheckForm::WidenStatusColumn() {
  QTableWidget& grid = *ui_->ResultGrid;
  const QAbstractItemView& view = grid;  // where the size hint is public
  const int wanted = std::min(view.sizeHintForColumn(scStatus), kMaxStatusColumnWidth);
  if (wanted > grid.columnWidth(scStatus)) grid.setColumnWidth(scStatus, wanted);
}

void TSourceCheckForm::ShowProgress() {
  const auto count = [this](auto condition) {
    std::size_t rows = 0;
    for (std::size_t i = 0; i < urls_.size(); ++i)
      if (done_[i] && condition(results_[i])) ++rows;
    return rows;
  };
  const std::size_t checked = count([](const TSourceCheckResult& r) { return !Cancelled(r); });
  const std::size_t failed =
      count([](const TSourceCheckResult& r) { return !r.Ok && !Cancelled(r); });
  const std::string counted = IntToStr(checked) + " of " + IntToStr(urls_.size());
  std::string text = counted;
  if (urls_.empty())
    text = "No URLs to check";
  else if (!running_)
    text = counted + " checked, " + IntToStr(failed) + " failed" +
           (checked < urls_.size() ? ", the others cancelled" : "");
  ui_->ProgressLabel->setText(ToQString(text));
}

void TSourceCheckForm::Finish() {
  running_ = false;
  ui_->CancelButton->setEnabled(false);
  ShowProgress();
}

// The check reports the rows it did not finish as cancelled.
void TSourceCheckForm::CancelButtonClick() {
  if (check_ && running_) check_->Cancel();
}

void TSourceCheckForm::UseNewUrlClick(int row) {
  const auto index = static_cast<std::size_t>(row);
  if (index >= urls_.size() || !OnUseNewUrl) return;
  auto* button = qobject_cast<QPushButton*>(ui_->ResultGrid->cellWidget(row, scUseNewUrl));
  RunHandler(kCheckSource, [&] {
    const std::string& newUrl = results_[index].PermanentUrl;
    CheckKeepsCredentials(urls_[index], newUrl);
    const int changed = OnUseNewUrl(urls_[index], newUrl);
    if (!button) return;
    button->setText(ToQString(RowsChanged(changed)));
    button->setEnabled(false);
  });
}

void TSourceCheckForm::CloseButtonClick() {
  close();
}

// Nobody would see the rest of the check.
void TSourceCheckForm::closeEvent(QCloseEvent* event) {
  CancelButtonClick();
  QWidget::closeEvent(event);
}
