// A modal dialog opened while a download runs holds nothing up: the next line is saved on
// time behind it, because the station runs on the message loop that the dialog's own
// event loop drives, and never waits inside it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <chrono>

#include "app/main_form.h"
#include "gui/application.h"
#include "gui/qt_message_pump.h"
#include "runtime/text_file.h"
#include "schedule/schedule_event.h"
#include "tests/support/fake_clock.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint32_t kFastTickMs = 100;

std::string Gif() {
  const std::vector<uint8_t> bytes =
      WriteGiflibGif({2, 2, 2, {PeerFrame{0, 0, 2, 2, false, 0, -1, 0, 0, {0, 1, 1, 0}}}});
  return {bytes.begin(), bytes.end()};
}

// Runs Qt's loop until done holds; the limit is a guard for a test that fails.
bool ProcessUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (!done() && std::chrono::steady_clock::now() < deadline)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

}  // namespace

// Line A's server holds its reply; About opens while A downloads; the clock reaches B's
// minute behind the dialog, and B is saved before the dialog closes. A is saved after.
TEST(ModalDialog, TheNextLineIsSavedOnTimeWhileADialogIsOpenDuringADownload) {
  TempDir dir;
  THttpFileServer slow;
  THttpFileServer fast;
  slow.Serve("/a.gif", Gif());
  slow.Hold("/a.gif");
  fast.Serve("/b.gif", Gif());
  WriteTextFile(
      dir.File("schedule.txt"),
      {ScheduleEvent{{"0930", "n", "A", slow.Url("/a.gif"), "n", dir.File("a.bmp")}}.ToLine(),
       ScheduleEvent{{"0931", "n", "B", fast.Url("/b.gif"), "n", dir.File("b.bmp")}}.ToLine()});
  FakeClock clock;
  clock.Set({2026, 12, 8, 9, 30, 5});
  const FakeTimeZone zone;
  const TQtMessagePump pump;
  TMainForm form(
      TMainFormEnvironment{&clock, &zone, dir.Path(), {}, &SystemSteadyClock(), kFastTickMs});
  bool dialogOpened = false;
  bool savedBehindTheDialog = false;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(ProcessUntil([&] { return slow.Requests("/a.gif") == 1; }));
    QTimer::singleShot(0, [&] {
      dialogOpened = QApplication::activeModalWidget() != nullptr;
      clock.AdvanceMinutes(1);
      savedBehindTheDialog = ProcessUntil([&] { return FileExists(dir.File("b.bmp")); });
      QApplication::activeModalWidget()->close();
    });
    form.About1Click();
    slow.Release();
  });
  form.show();
  EXPECT_TRUE(ProcessUntil([&] { return FileExists(dir.File("a.bmp")); }));
  EXPECT_TRUE(dialogOpened);
  EXPECT_TRUE(savedBehindTheDialog) << "the next line waited for the dialog";
  TApplication::Instance().ErrorDisplay().Dismiss();
}
