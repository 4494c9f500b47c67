#include "gui/qt_message_pump.h"

#include "gui/application.h"

namespace {
// The loop carries the sockets' events, so what escapes it comes from the network side.
constexpr const char* kNetworkSource = "Network";
}  // namespace

TQtMessagePump::TQtMessagePump(MessageLoop& loop)
    : loop_(loop), notifier_(std::make_unique<QSocketNotifier>(loop.Fd(), QSocketNotifier::Read)) {
  // Woken by Qt, the loop runs like any window handler: what escapes goes to the default
  // error display and the program carries on.
  QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                   [this] { RunHandler(kNetworkSource, [this] { loop_.ProcessMessages(); }); });
  TApplication::Instance().SetMessagePump([this] { loop_.ProcessMessages(); });
  loop_.SetApplicationPump([] { TApplication::Instance().ProcessMessages(); });
}

TQtMessagePump::~TQtMessagePump() {
  loop_.SetApplicationPump(nullptr);
  TApplication::Instance().SetMessagePump(nullptr);
}
