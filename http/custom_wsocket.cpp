// TCustomWSocket: creation, properties, the hidden window and its dispatch, reports.
#include "http/custom_wsocket.h"

#include <sys/ioctl.h>

#include "http/socket_error_text.h"
#include "http/socket_library.h"
#include "http/swallowed_errors.h"
#include "http/winsock.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr char kAnyAddress[] = "0.0.0.0";
// How long the pumping waits (flush, wait for close) sleep at most between two passes, so
// that the application's own events, which do not wake the loop, keep running.
constexpr int kPumpWaitMs = 10;

}  // namespace

TCustomWSocket::TCustomWSocket()
    : loop_(MessageLoop::Current()), threadId_(std::this_thread::get_id()) {
  window_ = loop_.AllocateHWnd([this](TMessage& message) { WndProc(message); });
  ResetToDefaults();
  IncrementSocketCount();
}

TCustomWSocket::~TCustomWSocket() {
  destroying_ = true;
  // A component being destroyed tells nobody: the objects its handlers reach may be gone
  // already (they are often destroyed before it).
  OnDataAvailable = OnDataSent = OnSessionClosed = OnSessionAvailable = OnSessionConnected =
      OnDnsLookupDone = nullptr;
  OnSendData = nullptr;
  OnChangeState = nullptr;
  OnError = nullptr;
  OnBgException = nullptr;
  // A socket that outlives its thread's loop (a static object, say) only lets go of its
  // descriptor: the loop's windows, timers and lookups went with the loop.
  const bool loopGone = MessageLoop::CurrentEnded();
  if (!loopGone) {
    RunSwallowing("destructor", [&] { CancelDnsLookup(); });
    RunSwallowing("destructor", [&] {
      if (state_ != wsClosed) CloseConnection();
    });
  }
  if (hSocket_ != INVALID_SOCKET) WSocket_closesocket(hSocket_);  // never leak the descriptor
  CloseEarlierAttempts();
  DecrementSocketCount();
  DiscardSendQueue();
  if (!loopGone) loop_.DeallocateHWnd(window_);
}

void TCustomWSocket::Release(std::unique_ptr<TCustomWSocket> socket) {
  TCustomWSocket* self = socket.get();
  self->releasedSelf_ = std::move(socket);
  self->loop_.PostMessage(self->window_, WM_WSOCKET_RELEASE, 0, 0);
}

void TCustomWSocket::ResetToDefaults() {
  StopConnectTimer();
  CloseEarlierAttempts();
  remoteAddrs_.clear();
  addrListGiven_.clear();
  remotePort_ = 0;
  addrIndex_ = 0;
  addrFormat_ = AF_INET;
  addrAssigned_ = addrResolved_ = false;
  portAssigned_ = portResolved_ = false;
  protoResolved_ = localPortResolved_ = false;
  protoAssigned_ = true;
  proto_ = IPPROTO_TCP;
  protoStr_ = "tcp";
  type_ = SOCK_STREAM;
  localPortStr_ = "0";
  localAddr_ = kAnyAddress;
  lingerOnOff_ = wsLingerOn;
  lingerTimeout_ = 0;
  hSocket_ = INVALID_SOCKET;
  selectEvent_ = 0;
  state_ = wsClosed;
  allSent_ = true;
  paused_ = false;
  readCount_ = 0;
  closeNotified_ = false;
  flushTimeout_ = 60;
}

// Properties.

bool TCustomWSocket::CheckClosedFor(const char* propertyName) {
  if (state_ == wsClosed) return true;
  ReportError(std::string("Cannot change ") + propertyName + " if not closed");
  return false;
}

// Addr, Port and Proto: the same trimmed text again changes nothing, not even the state
// is checked; a real change must be resolved again.
void TCustomWSocket::AssignText(const std::string& value, const char* propertyName,
                                std::string& text, bool& assigned, bool& resolved) {
  const std::string trimmed = Trim(value);
  if (assigned && trimmed == text) return;
  if (!CheckClosedFor(propertyName)) return;
  text = trimmed;
  assigned = !trimmed.empty();
  resolved = false;
}

void TCustomWSocket::SetAddr(const std::string& value) {
  const std::string before = addrStr_;
  AssignText(value, "Addr", addrStr_, addrAssigned_, addrResolved_);
  if (addrStr_ != before) addrListGiven_.clear();
}

void TCustomWSocket::SetAddrList(const std::vector<std::string>& addresses) {
  if (addresses.empty()) return;
  std::vector<TSocketAddress> parsed;
  for (const std::string& text : addresses) {
    const std::optional<TSocketAddress> address = TSocketAddress::FromText(Trim(text));
    if (!address) break;
    parsed.push_back(*address);
  }
  SetAddr(addresses.front());
  // A text that is no address is left to the resolution of Addr, as SetAddr leaves it.
  // The list stands in for that resolution, so a layer that connects elsewhere (to a
  // SOCKS server) still resolves its own address.
  if (parsed.size() != addresses.size() || state_ != wsClosed) return;
  addrListGiven_ = std::move(parsed);
  addrResolved_ = false;
}

void TCustomWSocket::SetPort(const std::string& value) {
  AssignText(value, "Port", portStr_, portAssigned_, portResolved_);
}

void TCustomWSocket::SetProto(const std::string& value) {
  AssignText(value, "Proto", protoStr_, protoAssigned_, protoResolved_);
}

void TCustomWSocket::SetLocalAddr(const std::string& value) {
  if (!CheckClosedFor("LocalAddr")) return;
  localAddr_ = value.empty() ? kAnyAddress : value;
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
  if (!CheckClosedFor("LocalPort")) return;
  localPortStr_ = value;
  localPortResolved_ = false;
}

TSocketSendFlags TCustomWSocket::SendFlags() {
  switch (sendFlag_) {
    case 0:
      return wsSendNormal;
    case MSG_OOB:
      return wsSendUrgent;
    default:
      ReportError("Invalid internal SendFlags");
      return wsSendNormal;
  }
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags value) {
  switch (value) {
    case wsSendNormal:
      sendFlag_ = 0;
      break;
    case wsSendUrgent:
      sendFlag_ = MSG_OOB;
      break;
    default:
      ReportError("Invalid SendFlags");
  }
}

int32_t TCustomWSocket::GetRcvdCount() {
  unsigned long count = 0;
  if (WSocket_ioctlsocket(hSocket_, FIONREAD, &count) == SOCKET_ERROR) {
    RaiseSocketError("ioctlSocket");
    return -1;
  }
  return static_cast<int32_t>(count);
}

void TCustomWSocket::ChangeState(TSocketState NewState) {
  const TSocketState OldState = state_;
  state_ = NewState;
  if (OldState != NewState) TriggerChangeState(OldState, NewState);
}

// The hidden window.

void TCustomWSocket::WndProc(TMessage& message) {
  if (message.Msg == WM_WSOCKET_RELEASE) {
    // Destroyed when this handler ends; nothing of the component is touched after.
    const std::unique_ptr<TCustomWSocket> self = std::move(releasedSelf_);
    return;
  }
  try {
    DispatchSocketMessage(message);
  } catch (const std::exception& E) {
    HandleBackgroundError(E);
  }
}

void TCustomWSocket::DispatchSocketMessage(TMessage& message) {
  switch (message.Msg) {
    case WM_ASYNCSELECT:
      WMASyncSelect(message);
      break;
    case WM_ASYNCGETHOSTBYNAME:
      WMAsyncGetHostByName(message);
      break;
    case WM_ASYNCGETHOSTBYADDR:
      WMAsyncGetHostByAddr(message);
      break;
    case WM_CONNECT_TIMEOUT:
      ConnectTimedOut(message);
      break;
    case WM_CLOSE_DELAYED:
      CloseConnection();
      break;
    case WM_TRIGGER_EXCEPTION:
      throw ESocketException("Test exception in WSocket");
    default:
      break;
  }
}

void TCustomWSocket::PumpMessages() {
  if (!multiThreaded_) {
    loop_.PumpApplication();
  } else if (loop_.ProcessMessages()) {
    terminated_ = true;
  }
}

void TCustomWSocket::WaitForMessages() {
  loop_.WaitMessage(kPumpWaitMs);
}

// Reports.

void TCustomWSocket::RaiseSocketError(const std::string& functionName) {
  const int code = WSocket_WSAGetLastError();
  const std::string text =
      "Error " + IntToStr(code) + " in function " + functionName + "\r\n" + SocketErrorText(code);
  if (code == WSAECONNRESET || code == WSAENOTCONN) {
    if (hSocket_ != INVALID_SOCKET) WSocket_closesocket(hSocket_);
    hSocket_ = INVALID_SOCKET;
    if (state_ != wsClosed) TriggerSessionClosed(static_cast<uint16_t>(code));
    ChangeState(wsClosed);
  }
  lastError_ = code;
  ReportError(text);
}

void TCustomWSocket::ReportError(const std::string& message) {
  errorMessage_ = message;
  if (OnError)
    TriggerError();
  else
    throw ESocketException(message);
}

void TCustomWSocket::HandleBackgroundError(const std::exception& E) {
  bool CanClose = true;
  if (OnBgException) RunSwallowing("handler", [&] { OnBgException(this, E, CanClose); });
  if (!CanClose) return;
  RunSwallowing("aborting", [&] { AbortConnection(); });
}

// Triggers.

bool TCustomWSocket::TriggerDataAvailable(uint16_t Error) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, Error);
  return true;
}

void TCustomWSocket::TriggerSessionAvailable(uint16_t Error) {
  if (OnSessionAvailable) OnSessionAvailable(this, Error);
}

void TCustomWSocket::TriggerSessionConnected(uint16_t Error) {
  if (OnSessionConnected) OnSessionConnected(this, Error);
}

void TCustomWSocket::TriggerSessionClosed(uint16_t Error) {
  if (OnSessionClosed) OnSessionClosed(this, Error);
}

void TCustomWSocket::TriggerDataSent(uint16_t Error) {
  if (OnDataSent) OnDataSent(this, Error);
}

void TCustomWSocket::TriggerChangeState(TSocketState OldState, TSocketState NewState) {
  if (OnChangeState) OnChangeState(this, OldState, NewState);
}

void TCustomWSocket::TriggerDnsLookupDone(uint16_t Error) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, Error);
}

void TCustomWSocket::TriggerError() {
  if (OnError) OnError(this);
}
