// TCustomWSocket: the socket events, receiving, the send queue and closing.
#include <arpa/inet.h>
#include <sys/ioctl.h>

#include "http/custom_wsocket.h"
#include "http/swallowed_errors.h"
#include "http/winsock.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr int kDrainSize = 1024;        // read and dropped at a time when nobody reads
constexpr int kUnknownCountSize = 255;  // read as text when the count waiting is unknown
constexpr int kSendShutdown = 1;

// Send failures that mean the connection is gone.
bool ConnectionLost(int error) {
  return error == WSAEINVAL || error == WSAENOTSOCK || error == WSAECONNABORTED ||
         error == WSAECONNRESET || error == WSAENOTCONN;
}

}  // namespace

// WM_ASYNCSELECT: one event of the socket, handled in this order. A handler that closes
// the socket (or opens another) ends the handling: what is left belonged to the old
// connection, whose close has been told already.
void TCustomWSocket::WMASyncSelect(const TMessage& message) {
  // Without a handle nothing is current: a write posted by a Send whose connection was
  // lost meanwhile would otherwise report data sent after the close.
  const auto current = [&] {
    return hSocket_ != INVALID_SOCKET && message.WParam == static_cast<uintptr_t>(hSocket_);
  };
  if (!current() && !TakeEarlierAttemptEvent(message)) return;
  if (paused_) return;
  const uint32_t event = SelectEvent(message.LParam);
  const uint16_t error = static_cast<uint16_t>(SelectError(message.LParam));
  if ((event & kFdConnect) && state_ != wsConnected) {
    StopConnectTimer();
    if (error != 0 && (StartNextAttempt(false) || ResumeEarlierAttempt())) return;
    CloseEarlierAttempts();
    ChangeState(wsConnected);
    TriggerSessionConnected(error);
    if (error != 0 && state_ != wsClosed) CloseConnection();
    if (!current()) return;
  }
  if (event & kFdRead) {
    if (state_ != wsConnected) {
      ChangeState(wsConnected);
      TriggerSessionConnected(error);
    }
    if (current()) ReceiveLoop(error, componentOptions_);
    if (!current()) return;
  }
  if (event & kFdWrite) {
    TryToSend();
    if (allSent_ && current()) TriggerDataSent(error);
    if (!current()) return;
  }
  if (event & kFdAccept) {
    TriggerSessionAvailable(error);
    if (!current()) return;
  }
  if ((event & kFdClose) && state_ != wsConnecting) {
    ReceiveLoop(0, componentOptions_.Without(wsoNoReceiveLoop));
    if (!current()) return;
    if (!closeNotified_) {
      closeNotified_ = true;
      TriggerSessionClosed(error);
    }
    if (current() && state_ != wsClosed) CloseConnection();
  }
}

// Lets the handler read while the system reports bytes waiting; without a handler the
// bytes are read and dropped.
void TCustomWSocket::ReceiveLoop(uint16_t Error, TWSocketOptions options) {
  for (;;) {
    lastError_ = 0;
    const int64_t takenBefore = bytesTaken_;
    bool drained = false;
    // A handler's exception ends this read loop only; the socket stays usable.
    const bool handled = RunSwallowing("handler", [&] {
      if (TriggerDataAvailable(Error)) return;
      char scratch[kDrainSize];
      drained = Receive(scratch, sizeof scratch) < 0 && lastError_ == WSAEWOULDBLOCK;
    });
    if (drained) lastError_ = 0;
    if (!handled || drained) break;
    if (options.Contains(wsoNoReceiveLoop) || lastError_ != 0) break;
    unsigned long count = 0;
    if (WSocket_ioctlsocket(hSocket_, FIONREAD, &count) == SOCKET_ERROR) {
      lastError_ = WSocket_WSAGetLastError();
      break;
    }
    if (count == 0) break;
    // A handler that took nothing (whether it read nothing or asked for 0 bytes) would be
    // called again and again at once, and the thread would hang; the loop asks to be told
    // again instead, so that the other messages are served in between.
    if (bytesTaken_ == takenBefore) {
      Loop().ReEnableSocketEvent(hSocket_, kFdRead);
      break;
    }
  }
}

int TCustomWSocket::DoRecv(void* buffer, int size, int flags) {
  const int count = WSocket_recv(hSocket_, buffer, size, flags);
  if (count > 0) bytesTaken_ += count;
  return count;
}

int TCustomWSocket::DoRecvFrom(void* buffer, int size, int flags, sockaddr_in& from,
                               int& fromLength) {
  const int count = WSocket_recvfrom(hSocket_, buffer, size, flags,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
  // Even an empty datagram leaves the queue.
  if (count >= 0) bytesTaken_ += count + 1;
  return count;
}

int TCustomWSocket::CountReceived(int count) {
  if (count < 0)
    lastError_ = WSocket_WSAGetLastError();
  else
    readCount_ += count;
  return count;
}

int TCustomWSocket::Receive(void* buffer, int size) {
  return CountReceived(DoRecv(buffer, size, 0));
}

int TCustomWSocket::ReceiveFrom(void* buffer, int size, sockaddr_in& from, int& fromLength) {
  return CountReceived(DoRecvFrom(buffer, size, 0, from, fromLength));
}

std::string TCustomWSocket::ReceiveStr() {
  int32_t count = GetRcvdCount();
  if (count < 0) return {};
  if (count == 0) count = kUnknownCountSize;
  std::string text(static_cast<size_t>(count), '\0');
  const int received = Receive(text.data(), count);
  text.resize(received > 0 ? static_cast<size_t>(received) : 0);
  return text;
}

// Sending.

int TCustomWSocket::Send(const void* data, int length) {
  if (state_ != wsConnected) {
    WSocket_WSASetLastError(WSAENOTCONN);
    RaiseSocketError("Send");
    return -1;
  }
  // Nothing queued leaves the queue as it was: a flush would otherwise wait forever.
  if (length <= 0) return 0;
  allSent_ = false;
  QueueData(data, length);
  TryToSend();
  // OnDataSent comes from the loop, never from inside Send; a send that lost the
  // connection has reported its close instead.
  if (allSent_ && hSocket_ != INVALID_SOCKET)
    Loop().PostMessage(window_, WM_ASYNCSELECT, static_cast<uintptr_t>(hSocket_),
                       MakeSelectReply(kFdWrite, 0));
  return length;
}

int TCustomWSocket::SendTo(const sockaddr_in& destination, const void* data, int length) {
  return WSocket_sendto(hSocket_, data, length, sendFlag_,
                        reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

int TCustomWSocket::SendStr(const std::string& text) {
  if (text.empty()) return 0;
  return Send(text.data(), static_cast<int>(text.size()));
}

void TCustomWSocket::QueueData(const void* data, int length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (sendQueue_.empty()) sendQueue_.emplace_back(chunkSize_);
  for (;;) {
    const int32_t copied = sendQueue_.back().Append(bytes, length);
    bytes += copied;
    length -= copied;
    if (length <= 0) break;
    sendQueue_.emplace_back(chunkSize_);
  }
}

void TCustomWSocket::TryToSend() {
  if (hSocket_ == INVALID_SOCKET || sendQueue_.empty()) return;
  for (;;) {
    const auto [data, count] = sendQueue_.front().PeekData();
    if (count == 0) {
      if (sendQueue_.size() == 1) {
        allSent_ = true;
        return;
      }
      sendQueue_.pop_front();
      continue;
    }
    const int sent = SendChunk(data, count);
    if (sent == 0) return;
    if (sent > 0) {
      sendQueue_.front().Consume(sent);
      if (sent < count) return;
      continue;
    }
    const int error = WSocket_WSAGetLastError();
    if (ConnectionLost(error)) {
      closeNotified_ = true;
      CloseConnection();
      TriggerSessionClosed(static_cast<uint16_t>(error));
    } else if (error != WSAEWOULDBLOCK) {
      RaiseSocketError("TryToSend failed");
    }
    return;
  }
}

int TCustomWSocket::SendChunk(const void* data, int length) {
  const TSocketAddress remote = Remote();
  const int sent = type_ == SOCK_DGRAM ? WSocket_sendto(hSocket_, data, length, sendFlag_,
                                                        remote.Native(), remote.NativeLength())
                                       : WSocket_send(hSocket_, data, length, sendFlag_);
  if (sent > 0 && OnSendData) OnSendData(this, sent);
  return sent;
}

void TCustomWSocket::DiscardSendQueue() {
  sendQueue_.clear();
}

void TCustomWSocket::Flush() {
  while (hSocket_ != INVALID_SOCKET && !allSent_) {
    TryToSend();
    PumpMessages();
    if (hSocket_ != INVALID_SOCKET && !allSent_) WaitForMessages();
  }
}

// Closing.

void TCustomWSocket::CloseConnection() {
  Disconnect(true, 0);
}

void TCustomWSocket::Disconnect(bool Shut, uint16_t Error) {
  if (hSocket_ == INVALID_SOCKET) {
    if (state_ != wsClosed) {
      ChangeState(wsClosed);
      ResetToDefaults();
    }
    return;
  }
  if (state_ == wsClosed) return;
  StopConnectTimer();
  CloseEarlierAttempts();
  if (Shut) WSocket_shutdown(hSocket_, kSendShutdown);
  if (WSocket_closesocket(hSocket_) != 0) {
    lastError_ = WSocket_WSAGetLastError();
    hSocket_ = INVALID_SOCKET;
    // A library already cleaned up has closed the socket itself.
    if (lastError_ != WSANOTINITIALISED) {
      RaiseSocketError("Disconnect (closesocket)");
      return;
    }
  }
  hSocket_ = INVALID_SOCKET;
  ChangeState(wsClosed);
  if (!destroying_ && !closeNotified_) {
    closeNotified_ = true;
    TriggerSessionClosed(Error);
  }
  RunSwallowing("closed", [&] { ResetToDefaults(); });
}

void TCustomWSocket::AbortConnection() {
  CancelDnsLookup();
  DiscardSendQueue();
  if (state_ == wsConnected && proto_ == IPPROTO_TCP) {
    lingerOnOff_ = wsLingerOff;
    SetLingerOption();
  }
  Disconnect(false, 0);
}

void TCustomWSocket::CloseDelayed() {
  Loop().PostMessage(window_, WM_CLOSE_DELAYED, 0, 0);
}

void TCustomWSocket::Pause() {
  paused_ = true;
  WSocket_WSAAsyncSelect(hSocket_, window_, 0, 0);
}

void TCustomWSocket::Resume() {
  paused_ = false;
  WSocket_WSAAsyncSelect(hSocket_, window_, WM_ASYNCSELECT, selectEvent_);
}

void TCustomWSocket::WaitForClose() {
  while (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
    PumpMessages();
    unsigned long count = 0;
    if (WSocket_ioctlsocket(hSocket_, FIONREAD, &count) == SOCKET_ERROR) break;
    if (count > 0) TriggerDataAvailable(0);
    char none = 0;
    if (Receive(&none, 0) < 0 && lastError_ != WSAEWOULDBLOCK) break;
    PumpMessages();
    if (hSocket_ != INVALID_SOCKET && state_ != wsClosed) WaitForMessages();
  }
}
