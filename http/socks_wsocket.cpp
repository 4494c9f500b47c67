#include "http/socks_wsocket.h"

#include <algorithm>
#include <cstring>

#include "http/resolvers.h"
#include "http/swallowed_errors.h"
#include "http/winsock.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr char kSocksProtocol[] = "tcp";
constexpr char kDefaultSocksLevel[] = "5";
// SOCKS 5 sends names, users and passwords after one length byte: a longer text would be
// cut, and the server would read its tail as the port or the next field.
constexpr size_t kMaxSocks5Text = 255;

// 5h is SOCKS 5 whose user gives the server host names to resolve; the socket sends Addr
// as it is set either way.
bool IsSocksLevel(const std::string& level) {
  const std::string upper = UpperCase(level);
  return upper == "4" || upper == "4A" || upper == "5" || upper == "5H";
}

}  // namespace

// Properties.

bool TCustomSocksWSocket::CheckClosedFor(const char* what) {
  if (State() == wsClosed) return true;
  ReportError(std::string("Can't change socks ") + what + " if not closed");
  return false;
}

void TCustomSocksWSocket::SetSocksServer(const std::string& value) {
  if (CheckClosedFor("server")) socksServer_ = Trim(value);
}

void TCustomSocksWSocket::SetSocksPort(const std::string& value) {
  if (CheckClosedFor("port")) socksPort_ = Trim(value);
}

void TCustomSocksWSocket::SetSocksLevel(const std::string& value) {
  if (!CheckClosedFor("level")) return;
  if (!IsSocksLevel(value)) {
    ReportError("Invalid socks level. Must be 4, 4A, 5 or 5h.");
    return;
  }
  socksLevel_ = UpperCase(value);
}

void TCustomSocksWSocket::ResetToDefaults() {
  TCustomWSocket::ResetToDefaults();
  // A SOCKS server serves one connection: the next one goes direct unless it is set again.
  socksServer_.clear();
  socksPort_.clear();
  socksLevel_ = kDefaultSocksLevel;
  socksState_ = ssNone;
  replyCount_ = 0;
  leftoverPosition_ = leftoverCount_ = 0;
}

// Connecting: the socket connects to the SOCKS server, which is then asked to connect on
// to Addr and Port.

void TCustomSocksWSocket::Connect() {
  if (socksServer_.empty()) {
    TCustomWSocket::Connect();
    return;
  }
  if (LowerCase(Proto()) != kSocksProtocol) {
    ReportError("tcp is the only protocol supported thru socks server");
    return;
  }
  try {
    if (!portResolved_) {
      remotePort_ = WSocketResolvePort(socksPort_, kSocksProtocol);
      portResolved_ = true;
    }
    if (!addrResolved_) {
      remoteAddrs_ = WSocketResolveHostAll(socksServer_);
      addrResolved_ = true;
    }
    targetPort_ = WSocketResolvePort(Port(), kSocksProtocol);
  } catch (const std::exception& E) {
    ReportError(std::string("connect: ") + E.what());
    return;
  }
  socksState_ = ssMethodReply;
  replyCount_ = 0;
  TCustomWSocket::Connect();
  if (State() == wsClosed) {
    // No connection came of it: nothing of the SOCKS server may stay resolved.
    socksState_ = ssNone;
    portResolved_ = addrResolved_ = false;
  }
}

void TCustomSocksWSocket::Listen() {
  if (!socksServer_.empty()) {
    ReportError("Listening is not supported thru socks server");
    return;
  }
  TCustomWSocket::Listen();
}

void TCustomSocksWSocket::TriggerSessionConnected(uint16_t Error) {
  if (socksState_ != ssMethodReply) {
    TCustomWSocket::TriggerSessionConnected(Error);
    return;
  }
  TriggerSocksConnected(Error);
  if (Error != 0) {
    socksState_ = ssNone;
    TCustomWSocket::TriggerSessionConnected(Error);
    return;
  }
  // The user hears of the connection once the server has made its own.
  if (IsSocks4())
    SendSocks4Request();
  else
    SendSocksRequest(Socks5MethodRequest(socksAuthentication_ == socksAuthenticateUsercode));
}

// The negotiation goes to the connection itself, past any layer above.
void TCustomSocksWSocket::SendSocksRequest(const std::string& request) {
  // A failed send has closed the connection and told its close already.
  RunSwallowing("negotiating",
                [&] { TCustomWSocket::Send(request.data(), static_cast<int>(request.size())); });
}

void TCustomSocksWSocket::SendSocks4Request() {
  socksState_ = ssConnectReply;
  replyCount_ = 0;
  const bool named = socksLevel_ == "4A";
  uint32_t address = 0;
  if (!named) {
    try {
      address = WSocketResolveHost(Addr());
    } catch (const ESocketException& E) {
      SocksFailed(kSocksResolveError, "ESocketException " + E.Message());
      return;
    } catch (const std::exception& E) {
      SocksFailed(kSocksResolveError, std::string("Exception ") + E.what());
      return;
    }
  }
  SendSocksRequest(Socks4ConnectRequest(address, targetPort_, socksUsercode_, named ? Addr() : ""));
}

void TCustomSocksWSocket::SendConnectRequest() {
  if (IsSocks4()) {
    SendSocks4Request();
    return;
  }
  if (Addr().size() > kMaxSocks5Text) {
    SocksFailed(kSocksResolveError, "host name too long for SOCKS 5");
    return;
  }
  socksState_ = ssConnectReply;
  replyCount_ = 0;
  SendSocksRequest(Socks5ConnectRequest(Addr(), targetPort_));
}

// Receiving: while negotiating, every byte is the server's reply.

bool TCustomSocksWSocket::TriggerDataAvailable(uint16_t Error) {
  if (socksState_ == ssNone) return TCustomWSocket::TriggerDataAvailable(Error);
  if (socksState_ == ssMethodReply && IsSocks4()) {
    SocksFailed(kSocksLogicError, kSocksLogicErrorText);
    return true;
  }
  if (ReadReply()) JudgeReply();
  return true;
}

bool TCustomSocksWSocket::ReadReply() {
  const size_t room = kSocksReplyBufferSize - 1 - replyCount_;
  if (room == 0) {
    // A reply this long is none the protocol knows; waiting for more would hang.
    SocksFailed(kSocksInternalError, kSocksInternalErrorText);
    return false;
  }
  const int count = TCustomWSocket::Receive(reply_.data() + replyCount_, static_cast<int>(room));
  if (count < 0) {
    if (LastError() != WSAEWOULDBLOCK) SocksFailed(LastError(), kSocksReceiveErrorText);
    return false;
  }
  replyCount_ += static_cast<size_t>(count);
  return count > 0;
}

void TCustomSocksWSocket::JudgeReply() {
  TSocksReply verdict;
  switch (socksState_) {
    case ssMethodReply:
      verdict = JudgeSocks5MethodReply(reply_.data(), replyCount_);
      if (verdict.Outcome == soDone) MethodChosen(verdict.Method);
      break;
    case ssAuthReply:
      verdict = JudgeSocks5AuthReply(reply_.data(), replyCount_);
      if (verdict.Outcome == soDone) {
        TriggerSocksAuthState(socksAuthSuccess);
        SendConnectRequest();
      }
      break;
    case ssConnectReply:
      verdict = IsSocks4() ? JudgeSocks4ConnectReply(reply_.data(), replyCount_)
                           : JudgeSocks5ConnectReply(reply_.data(), replyCount_);
      if (verdict.Outcome == soDone) {
        boundAddr_ = verdict.BoundAddr;
        boundPort_ = verdict.BoundPort;
        Granted(verdict.Length);
      }
      break;
    case ssNone:
      verdict.Outcome = soFailed;
      verdict.Error = kSocksInternalError;
      verdict.Text = kSocksInternalErrorText;
      break;
  }
  if (verdict.Outcome == soFailed) SocksFailed(verdict.Error, verdict.Text);
}

void TCustomSocksWSocket::MethodChosen(uint8_t method) {
  const bool offered = socksAuthentication_ == socksAuthenticateUsercode;
  if (method == kSocksMethodNone) {
    if (offered) TriggerSocksAuthState(socksAuthNotRequired);
    SendConnectRequest();
    return;
  }
  if (socksUsercode_.size() > kMaxSocks5Text || socksPassword_.size() > kMaxSocks5Text) {
    SocksFailed(kSocksAuthenticationFailed, "SOCKS 5 user name or password too long");
    return;
  }
  socksState_ = ssAuthReply;
  replyCount_ = 0;
  TriggerSocksAuthState(socksAuthStart);
  SendSocksRequest(Socks5AuthRequest(socksUsercode_, socksPassword_));
}

void TCustomSocksWSocket::Granted(size_t replyLength) {
  leftoverPosition_ = replyLength;
  leftoverCount_ = replyCount_ - replyLength;
  replyCount_ = 0;
  socksState_ = ssNone;
  // Through the layers above, which may have their own work to do on the connection.
  TriggerSessionConnected(0);
  // The data that came behind the reply is offered now: no socket event will tell of it.
  while (State() == wsConnected) {
    const size_t before = leftoverCount_;
    TriggerDataAvailable(0);
    if (leftoverCount_ == 0 || leftoverCount_ == before) break;
  }
}

void TCustomSocksWSocket::SocksFailed(int32_t Error, const std::string& Msg) {
  TriggerSocksError(Error, Msg);
  socksState_ = ssNone;
  TCustomWSocket::TriggerSessionConnected(static_cast<uint16_t>(Error));
  Disconnect(true, static_cast<uint16_t>(Error));
}

int TCustomSocksWSocket::DoRecv(void* buffer, int size, int flags) {
  if (leftoverCount_ == 0) return TCustomWSocket::DoRecv(buffer, size, flags);
  const size_t count = std::min(leftoverCount_, static_cast<size_t>(std::max(size, 0)));
  std::memcpy(buffer, reply_.data() + leftoverPosition_, count);
  leftoverPosition_ += count;
  leftoverCount_ -= count;
  return static_cast<int>(count);
}

int32_t TCustomSocksWSocket::GetRcvdCount() {
  if (leftoverCount_ > 0) return static_cast<int32_t>(leftoverCount_);
  return TCustomWSocket::GetRcvdCount();
}

void TCustomSocksWSocket::TriggerSessionClosed(uint16_t Error) {
  if (socksState_ == ssAuthReply) TriggerSocksAuthState(socksAuthFailure);
  TCustomWSocket::TriggerSessionClosed(Error);
}

// Triggers.

void TCustomSocksWSocket::TriggerSocksConnected(uint16_t Error) {
  if (OnSocksConnected) OnSocksConnected(this, Error);
}

void TCustomSocksWSocket::TriggerSocksError(int32_t Error, const std::string& Msg) {
  if (OnSocksError) OnSocksError(this, Error, Msg);
}

void TCustomSocksWSocket::TriggerSocksAuthState(TSocksAuthState AuthState) {
  if (OnSocksAuthState) OnSocksAuthState(this, AuthState);
}
