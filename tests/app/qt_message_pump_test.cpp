#include "gui/qt_message_pump.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <stdexcept>

#include "gui/application.h"

namespace {

constexpr uint32_t kTestMessage = WM_USER + 3;
constexpr int kMaxRounds = 1000;  // a guard against a hang, never reached when right

class QtMessagePump : public ::testing::Test {
 protected:
  QtMessagePump() {
    window_ = loop_.AllocateHWnd([this](TMessage& message) {
      ++received_;
      if (message.WParam == kThrow) throw std::runtime_error("handler failed in the loop");
    });
  }
  ~QtMessagePump() override { loop_.DeallocateHWnd(window_); }

  static constexpr uintptr_t kThrow = 1;
  MessageLoop& loop_ = MessageLoop::Current();
  TQtMessagePump pump_{loop_};
  TWindowHandle window_ = 0;
  int received_ = 0;
};

}  // namespace

TEST_F(QtMessagePump, QtsEventLoopDispatchesTheMessageLoop) {
  loop_.PostMessage(window_, kTestMessage, 0, 0);
  for (int round = 0; round < kMaxRounds && received_ == 0; ++round)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  EXPECT_EQ(received_, 1);
}

TEST_F(QtMessagePump, EachPumpAlsoRunsTheOther) {
  loop_.PostMessage(window_, kTestMessage, 0, 0);
  TApplication::Instance().ProcessMessages();
  EXPECT_EQ(received_, 1);

  // A request waiting in a handler pumps the loop's application pump: Qt's timers run.
  bool timerFired = false;
  QTimer::singleShot(0, [&] { timerFired = true; });
  loop_.PostMessage(window_, kTestMessage, 0, 0);
  loop_.PumpApplication();
  EXPECT_TRUE(timerFired);
  EXPECT_EQ(received_, 2);
}

TEST_F(QtMessagePump, AnErrorInALoopHandlerWokenByQtGoesToTheErrorDisplay) {
  TErrorDisplay& display = TApplication::Instance().ErrorDisplay();
  loop_.PostMessage(window_, kTestMessage, kThrow, 0);
  for (int round = 0; round < kMaxRounds && !display.IsShowing(); ++round)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  ASSERT_TRUE(display.IsShowing());
  EXPECT_TRUE(display.Text().contains("handler failed in the loop"));
  display.Dismiss();
}
