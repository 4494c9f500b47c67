#include "gui/error_display.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>

#include "gui/application.h"
#include "gui/error_list.h"
#include "runtime/strings.h"

namespace {

// 2026-12-08 15:11:01 UTC
constexpr std::time_t kNoon = 1796742661;

struct TError {
  std::string source;
  std::string message;
  std::time_t when = kNoon;
};

struct TListCase {
  const char* name;
  std::vector<TError> errors;
  std::string text;
};

std::vector<TError> Distinct(int count) {
  std::vector<TError> errors;
  for (int i = 1; i <= count; ++i) errors.push_back({"Line " + IntToStr(i), "failed", kNoon + i});
  return errors;
}

std::vector<TError> Concat(std::vector<TError> first, const std::vector<TError>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::string Lines(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i)
    text += Format("2026-12-08 15:11:%02d UTC  Line %d: failed\n", 1 + i, i);
  return text;
}

int LineCount(const QString& text) {
  return static_cast<int>(text.split('\n').size());
}

}  // namespace

TEST(ErrorList, ShowsTheLatestDistinctErrorsWithTimeCountAndSource) {
  const std::string longMessage(TErrorList::kMaxMessageLength + 50, 'x');
  const TListCase cases[] = {
      {"one error",
       {{"Radar", "Connection refused"}},
       "2026-12-08 15:11:01 UTC  Radar: Connection refused"},
      {"no source", {{"", "Stream write error"}}, "2026-12-08 15:11:01 UTC  Stream write error"},
      {"a repeat moves to the end with its latest time and count",
       {{"A", "x"}, {"B", "y", kNoon + 1}, {"A", "x", kNoon + 2}, {"A", "x", kNoon + 3}},
       "2026-12-08 15:11:02 UTC  B: y\n2026-12-08 15:11:04 UTC  A: x  \xd7"
       "3"},
      {"one text from two sources is two errors",
       {{"A", "x"}, {"B", "x"}},
       "2026-12-08 15:11:01 UTC  A: x\n2026-12-08 15:11:01 UTC  B: x"},
      {"a broken or long message stays one line",
       {{"Preview", "first\r\nsecond"}, {"Editor", longMessage}},
       "2026-12-08 15:11:01 UTC  Preview: first  second\n2026-12-08 15:11:01 UTC  Editor: " +
           longMessage.substr(0, TErrorList::kMaxMessageLength) + "..."},
      {"twenty fit", Distinct(20), Lines(1, 20).substr(0, Lines(1, 20).size() - 1)},
      {"older ones are counted, each repeat of them too",
       Concat({{"Line 0", "failed", kNoon}, {"Line 0", "failed", kNoon}}, Distinct(21)),
       Lines(2, 21) + "3 earlier messages are in isoview.log"},
      {"one earlier message", Distinct(21), Lines(2, 21) + "1 earlier message is in isoview.log"},
      {"a message that names its line has no source in front",
       {{"Radar", "Radar (http://x/r.gif): 404 Not Found"},
        {"http://x/s.gif", "http://x/s.gif: gone"}},
       "2026-12-08 15:11:01 UTC  Radar (http://x/r.gif): 404 Not Found\n"
       "2026-12-08 15:11:01 UTC  http://x/s.gif: gone"},
      {"a source that only begins the message is named",
       {{"Radar", "Radar2 (http://x/r.gif): gone"}, {"Clock", "Clockwork: stopped"}},
       "2026-12-08 15:11:01 UTC  Radar: Radar2 (http://x/r.gif): gone\n"
       "2026-12-08 15:11:01 UTC  Clock: Clockwork: stopped"},
  };
  for (const TListCase& c : cases) {
    TErrorList list;
    for (const TError& error : c.errors) list.Add(error.source, error.message, error.when);
    EXPECT_EQ(list.Text(), c.text) << c.name;
  }
}

// An unattended station with failing sources: the box keeps its size and its twenty lines
// and the summary, whatever the number of errors.
TEST(ErrorDisplay, TenThousandErrorsKeepTheBoxSmall) {
  TErrorDisplay display;
  std::time_t now = kNoon;
  display.SetClock([&now] { return now; });
  display.Show("Radar", "Connection refused");
  ASSERT_TRUE(display.IsShowing());
  const QSize firstSize = display.Box()->size();
  constexpr int kErrors = 10000;
  constexpr int kSources = 10;
  for (int i = 1; i < kErrors; ++i) {
    ++now;
    display.Show("Line " + IntToStr(i % kSources), "Timeout " + IntToStr(i % 30 == 0 ? i : 0));
  }
  const QString text = display.Text();
  EXPECT_EQ(LineCount(text), static_cast<int>(TErrorList::kMaxShown) + 1) << text.toStdString();
  EXPECT_TRUE(text.endsWith(" earlier messages are in isoview.log")) << text.toStdString();
  EXPECT_TRUE(text.contains(QString("Timeout 0  ") + QChar(0xd7)));
  QCoreApplication::processEvents();
  EXPECT_EQ(display.Box()->findChild<QTextEdit*>()->toPlainText(), text);
  EXPECT_EQ(display.Box()->size(), firstSize);
  const QRect screen = display.Box()->screen()->availableGeometry();
  EXPECT_LE(display.Box()->frameGeometry().height(), screen.height());
  EXPECT_EQ(display.LatestMessage(), "Timeout 0");

  display.Dismiss();
  EXPECT_FALSE(display.IsShowing());
  display.Show("Editor", "Cannot open file schedule.txt");
  EXPECT_EQ(display.Text().toStdString(),
            "2026-12-08 17:57:40 UTC  Editor: Cannot open file schedule.txt");
}

// The operator can make the box larger to read long messages, which wrap; a refresh while
// an older line is read leaves it in view, and a new error brings the box to the front.
TEST(ErrorDisplay, TheBoxIsTitledResizableWrapsAndKeepsItsScrollPosition) {
  TErrorDisplay display;
  std::time_t now = kNoon;
  display.SetClock([&now] { return now; });
  display.Show("Radar", "first");
  QDialog& box = *display.Box();
  EXPECT_EQ(box.windowTitle().toStdString(), "Errors");
  box.resize(300, 200);
  QCoreApplication::processEvents();
  EXPECT_EQ(box.size(), QSize(300, 200));
  auto& view = *box.findChild<QTextEdit*>();
  EXPECT_EQ(view.lineWrapMode(), QTextEdit::WidgetWidth);
  for (int i = 0; i < 19; ++i) display.Show("Line " + IntToStr(i), std::string(120, 'x'));
  QCoreApplication::processEvents();
  EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0) << "a line is wider than the box";
  QScrollBar& bar = *view.verticalScrollBar();
  ASSERT_GT(bar.maximum(), 10);
  EXPECT_EQ(bar.value(), bar.maximum()) << "at the end, the box follows the new lines";
  bar.setValue(bar.maximum() / 2);
  const int reading = bar.value();
  display.Show("Radar", "again");
  QCoreApplication::processEvents();
  EXPECT_EQ(bar.value(), reading);
  EXPECT_TRUE(view.toPlainText().contains("Radar: again"));
  display.Dismiss();
}

TEST(ErrorDisplay, TheApplicationTellsTheListenerTheSourceAndTheMessage) {
  std::vector<std::string> heard;
  TApplication& application = TApplication::Instance();
  application.SetErrorListener([&heard](const std::string& source, const std::string& message) {
    heard.push_back(source + "|" + message);
  });
  RunHandler("Preview", [] { throw std::runtime_error("Invalid GIF signature"); });
  application.SetErrorListener(nullptr);
  EXPECT_EQ(heard, std::vector<std::string>{"Preview|Invalid GIF signature"});
  EXPECT_TRUE(application.ErrorDisplay().Text().endsWith("Preview: Invalid GIF signature"));
  application.ErrorDisplay().Dismiss();
}
