// TCustomWSocket: connecting, binding, socket options, the server side and the addresses.
#include <arpa/inet.h>
#include <netinet/tcp.h>

#include <algorithm>
#include <cerrno>

#include "http/custom_wsocket.h"
#include "http/resolvers.h"
#include "http/winsock.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr char kAnyAddress[] = "0.0.0.0";
constexpr char kNoAddress[] = "error";
constexpr int kListenBacklog = 5;
constexpr int kBooleanOn = -1;  // any value but 0 switches a Boolean option on

constexpr uint32_t kClientEvents = kFdRead | kFdWrite | kFdAccept | kFdConnect | kFdClose;
constexpr uint32_t kServerEvents = kFdRead | kFdWrite | kFdAccept | kFdClose;
constexpr uint32_t kAcceptedEvents = kFdRead | kFdWrite | kFdConnect | kFdClose;

int SocketTypeOf(int protocol) {
  switch (protocol) {
    case IPPROTO_TCP:
      return SOCK_STREAM;
    case IPPROTO_UDP:
      return SOCK_DGRAM;
    default:
      return SOCK_RAW;
  }
}

}  // namespace

// Connecting.

void TCustomWSocket::Connect() {
  if (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
    ReportError("Connect: Socket already in use");
    return;
  }
  if (!portAssigned_) {
    ReportError("Connect: No Port Specified");
    return;
  }
  if (!addrAssigned_) {
    ReportError("Connect: No IP Address Specified");
    return;
  }
  if (!protoAssigned_) {
    ReportError("Connect: No Protocol Specified");
    return;
  }
  if (!ResolveForConnect()) return;

  DiscardSendQueue();
  // A family this system has no sockets for (IPv6 switched off) passes on to the next.
  for (addrIndex_ = 0; !OpenSocket(); ++addrIndex_) {
    if (addrIndex_ + 1 == remoteAddrs_.size()) {
      RaiseSocketError("Connect (socket)");
      return;
    }
  }
  ChangeState(wsOpened);
  if (state_ != wsOpened) {
    WSocket_WSASetLastError(WSAEINVAL);
    RaiseSocketError("Connect (Invalid operation in OnChangeState)");
    return;
  }
  if (!ApplyOptions()) return;
  if (type_ == SOCK_DGRAM) {
    ChangeState(wsConnected);
    TriggerSessionConnected(0);
    return;
  }
  StartConnect();
}

void TCustomWSocket::ResolveProto() {
  if (protoResolved_) return;
  proto_ = WSocketResolveProto(protoStr_);
  type_ = SocketTypeOf(proto_);
  protoResolved_ = true;
}

void TCustomWSocket::ResolvePort() {
  if (portResolved_) return;
  portNum_ = WSocketResolvePort(portStr_, protoStr_);
  remotePort_ = portNum_;
  portResolved_ = true;
}

void TCustomWSocket::ResolveAddr() {
  if (addrResolved_) return;
  remoteAddrs_ = addrListGiven_.empty() ? WSocketResolveHostAll(addrStr_) : addrListGiven_;
  addrResolved_ = true;
}

TSocketAddress TCustomWSocket::Remote() const {
  return remoteAddrs_.empty() ? TSocketAddress().WithPort(remotePort_)
                              : remoteAddrs_[addrIndex_].WithPort(remotePort_);
}

// A socket of the family of the address to connect to; on failure the socket library
// holds the error.
bool TCustomWSocket::OpenSocket() {
  hSocket_ = WSocket_socket(Remote().Family(), type_, proto_);
  return hSocket_ != INVALID_SOCKET;
}

bool TCustomWSocket::ApplyOptions() {
  if (!(type_ == SOCK_DGRAM ? ApplyDatagramOptions() : ApplyStreamOptions())) return false;
  selectEvent_ = kClientEvents;
  if (WSocket_WSAAsyncSelect(hSocket_, window_, WM_ASYNCSELECT, selectEvent_) == 0) return true;
  RaiseSocketError("WSAAsyncSelect");
  return false;
}

// Each step is skipped while its property is unchanged since it was last resolved.
bool TCustomWSocket::ResolveForConnect() {
  try {
    ResolveProto();
    ResolvePort();
    if (!localPortResolved_) {
      localPortNum_ = WSocketResolvePort(localPortStr_, protoStr_);
      localPortResolved_ = true;
    }
    ResolveAddr();
  } catch (const std::exception& E) {
    ReportError(std::string("connect: ") + E.what());
    return false;
  }
  KeepFamilyOfLocalAddr();
  return true;
}

// A socket bound to a chosen local address can reach only addresses of its family. When
// none of them is of that family, the bind reports why.
void TCustomWSocket::KeepFamilyOfLocalAddr() {
  if (localAddr_ == kAnyAddress) return;
  const std::optional<TSocketAddress> local = TSocketAddress::FromText(Trim(localAddr_));
  if (!local) return;
  std::vector<TSocketAddress> reachable;
  for (const TSocketAddress& address : remoteAddrs_)
    if (address.Family() == local->Family()) reachable.push_back(address);
  if (!reachable.empty()) remoteAddrs_ = std::move(reachable);
}

void TCustomWSocket::StartConnect() {
  const TSocketAddress remote = Remote();
  lastAddrTried_ = remote.TextWithPort();
  const bool started = WSocket_connect(hSocket_, remote.Native(), remote.NativeLength()) == 0 ||
                       WSocket_WSAGetLastError() == WSAEWOULDBLOCK;
  if (!started && remoteAddrs_.size() <= 1) {
    lastError_ = WSocket_WSAGetLastError();
    RaiseSocketError("Connect");
    return;
  }
  ChangeState(wsConnecting);
  if (started) {
    StartConnectTimer();
    return;
  }
  // Told like a connect that failed later (an unreachable network, say), so that the next
  // address is tried from the loop, the same way for every address.
  Loop().PostMessage(window_, WM_ASYNCSELECT, static_cast<uintptr_t>(hSocket_),
                     MakeSelectReply(kFdConnect, static_cast<uint32_t>(WSocket_WSAGetLastError())));
}

// Starts an attempt at the next address, giving the current one up or, when it is only
// slow, keeping it beside the new one; false when there is no next address.
bool TCustomWSocket::StartNextAttempt(bool keepCurrent) {
  StopConnectTimer();
  if (addrIndex_ + 1 >= remoteAddrs_.size()) return false;
  if (keepCurrent)
    earlierAttempts_.push_back({hSocket_, addrIndex_});
  else
    WSocket_closesocket(hSocket_);
  hSocket_ = INVALID_SOCKET;
  while (++addrIndex_ < remoteAddrs_.size()) {
    if (!OpenSocket()) continue;
    if (ApplyOptions()) StartConnect();
    return true;
  }
  addrIndex_ = remoteAddrs_.size() - 1;
  return ResumeEarlierAttempt();
}

// The current attempt failed with no address left: the latest earlier one that still
// runs becomes the current one; false when none does.
bool TCustomWSocket::ResumeEarlierAttempt() {
  if (earlierAttempts_.empty()) return false;
  if (hSocket_ != INVALID_SOCKET) WSocket_closesocket(hSocket_);
  hSocket_ = earlierAttempts_.back().handle;
  addrIndex_ = earlierAttempts_.back().addrIndex;
  earlierAttempts_.pop_back();
  lastAddrTried_ = Remote().TextWithPort();
  return true;
}

// An event of an earlier attempt: its failure drops it; its connection wins, and the other
// attempts are given up. True when it made the attempt's socket the current one.
bool TCustomWSocket::TakeEarlierAttemptEvent(const TMessage& message) {
  const auto attempt = std::find_if(
      earlierAttempts_.begin(), earlierAttempts_.end(),
      [&](const TConnectAttempt& a) { return static_cast<uintptr_t>(a.handle) == message.WParam; });
  if (attempt == earlierAttempts_.end() || !(SelectEvent(message.LParam) & kFdConnect))
    return false;
  const TConnectAttempt taken = *attempt;
  earlierAttempts_.erase(attempt);
  if (SelectError(message.LParam) != 0) {
    WSocket_closesocket(taken.handle);
    return false;
  }
  StopConnectTimer();
  WSocket_closesocket(hSocket_);
  hSocket_ = taken.handle;
  addrIndex_ = taken.addrIndex;
  lastAddrTried_ = Remote().TextWithPort();
  return true;
}

void TCustomWSocket::CloseEarlierAttempts() {
  for (const TConnectAttempt& attempt : earlierAttempts_) WSocket_closesocket(attempt.handle);
  earlierAttempts_.clear();
}

// Only an address with another after it has a delay of its own.
void TCustomWSocket::StartConnectTimer() {
  if (addrIndex_ + 1 >= remoteAddrs_.size() || type_ == SOCK_DGRAM) return;
  connectTimerId_ = ++lastConnectTimerId_;
  loop_.SetTimer(window_, connectTimerId_, WM_CONNECT_TIMEOUT, connectAttemptDelayMs_);
}

void TCustomWSocket::StopConnectTimer() {
  if (connectTimerId_ == 0) return;
  loop_.KillTimer(window_, connectTimerId_);
  connectTimerId_ = 0;
}

void TCustomWSocket::ConnectTimedOut(const TMessage& message) {
  if (message.WParam != connectTimerId_ || state_ != wsConnecting) return;
  StartNextAttempt(true);
}

// Options.

bool TCustomWSocket::SetBooleanOption(int level, int option, const char* functionName) {
  const int on = kBooleanOn;
  if (WSocket_setsockopt(hSocket_, level, option, &on, sizeof on) == 0) return true;
  RaiseSocketError(functionName);
  return false;
}

// The multicast options go to the system directly, not through the socket library.
bool TCustomWSocket::SetNativeOption(int level, int option, const void* value, int length,
                                     const char* functionName) {
  if (::setsockopt(hSocket_, level, option, value, static_cast<socklen_t>(length)) == 0)
    return true;
  WSocket_WSASetLastError(WinsockErrorFromErrno(errno));
  RaiseSocketError(functionName);
  return false;
}

bool TCustomWSocket::ApplyDatagramOptions() {
  if (!BindSocket()) return false;
  if (multiCast_) {
    if (multiCastIpTTL_ != 1) {
      const int ttl = multiCastIpTTL_;
      if (!SetNativeOption(IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl,
                           "setsockopt(IP_MULTICAST_TTL)"))
        return false;
    }
    if (localAddr_ != kAnyAddress) {
      const in_addr local{::inet_addr(localAddr_.c_str())};
      if (!SetNativeOption(IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local,
                           "setsockopt(IP_MULTICAST_IF)"))
        return false;
    }
  }
  if (!Remote().IsIPv6() && Remote().IPv4() == INADDR_BROADCAST)
    return SetBooleanOption(SOL_SOCKET, SO_BROADCAST, "setsockopt(SO_BROADCAST)");
  return true;
}

bool TCustomWSocket::ApplyStreamOptions() {
  if (!SetBooleanOption(SOL_SOCKET, SO_REUSEADDR, "setsockopt(SO_REUSEADDR)")) return false;
  if (componentOptions_.Contains(wsoTcpNoDelay) &&
      !SetBooleanOption(IPPROTO_TCP, TCP_NODELAY, "setsockopt(IPPROTO_TCP, TCP_NODELAY)"))
    return false;
  if (!SetLingerOption()) return false;
  if (!SetBooleanOption(SOL_SOCKET, SO_KEEPALIVE, "setsockopt(SO_KEEPALIVE)")) return false;
  if (localPortNum_ != 0 || localAddr_ != kAnyAddress) return BindSocket();
  return true;
}

bool TCustomWSocket::SetLingerOption() {
  if (lingerOnOff_ == wsLingerNoSet) return true;
  if (hSocket_ == INVALID_SOCKET) {
    ReportError("Cannot set linger option at this time");
    return false;
  }
  const linger value{lingerOnOff_ == wsLingerOn ? 1 : 0, lingerTimeout_};
  if (WSocket_setsockopt(hSocket_, SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0) return true;
  RaiseSocketError("setsockopt(SO_LINGER)");
  return false;
}

// The default local address means any address of the socket's family.
TSocketAddress TCustomWSocket::LocalBindAddr() const {
  const TSocketAddress any = TSocketAddress::Any(Remote().Family());
  if (localAddr_ == kAnyAddress) return any.WithPort(localPortNum_);
  return WSocketResolveHostAll(localAddr_).front().WithPort(localPortNum_);
}

bool TCustomWSocket::BindSocket() {
  const TSocketAddress local = LocalBindAddr();
  if (WSocket_bind(hSocket_, local.Native(), local.NativeLength()) != 0) {
    ReportError(Format("winsock.bind failed, error #%d", WSocket_WSAGetLastError()));
    return false;
  }
  sockaddr_storage bound{};
  int length = sizeof bound;
  if (WSocket_getsockname(hSocket_, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    ReportError(Format("winsock.getsockname failed, error #%d", WSocket_WSAGetLastError()));
    return false;
  }
  localPortNum_ = TSocketAddress::FromNative(bound).Port();
  localPortStr_ = IntToStr(localPortNum_);
  return true;
}

// The server side.

void TCustomWSocket::Listen() {
  for (const auto& [assigned, text] : {std::pair{portAssigned_, "listen: port not assigned"},
                                       std::pair{protoAssigned_, "listen: protocol not assigned"},
                                       std::pair{addrAssigned_, "listen: address not assigned"}}) {
    if (assigned) continue;
    WSocket_WSASetLastError(WSAEINVAL);
    RaiseSocketError(text);
    return;
  }
  try {
    ResolveProto();
    type_ = proto_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
    ResolvePort();
    ResolveAddr();
  } catch (const std::exception& E) {
    ReportError(std::string("listen: ") + E.what());
    return;
  }

  addrIndex_ = 0;
  if (!OpenSocket()) {
    RaiseSocketError("socket");
    return;
  }
  ChangeState(wsOpened);
  if (type_ == SOCK_DGRAM && reuseAddr_ &&
      !SetBooleanOption(SOL_SOCKET, SO_REUSEADDR, "setsockopt(SO_REUSEADDR)"))
    return;
  const TSocketAddress local = Remote();
  if (WSocket_bind(hSocket_, local.Native(), local.NativeLength()) != 0) {
    const int error = WSocket_WSAGetLastError();
    DropSocket();  // closed also when the report raises
    WSocket_WSASetLastError(error);
    RaiseSocketError("Bind");
    return;
  }
  ChangeState(wsBound);

  if (type_ == SOCK_DGRAM) {
    if (multiCast_) {
      const ip_mreq group{{::inet_addr(multiCastAddrStr_.c_str())},
                          {::inet_addr(addrStr_.c_str())}};
      if (!SetNativeOption(IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group,
                           "setsockopt(IP MULTICAST)"))
        return;
    }
    ChangeState(wsListening);
    ChangeState(wsConnected);
    TriggerSessionConnected(0);
  } else {
    if (WSocket_listen(hSocket_, kListenBacklog) != 0) {
      RaiseSocketError("Listen");
      return;
    }
    ChangeState(wsListening);
  }
  selectEvent_ = kServerEvents;
  if (WSocket_WSAAsyncSelect(hSocket_, window_, WM_ASYNCSELECT, selectEvent_) != 0)
    RaiseSocketError("WSAASyncSelect");
}

void TCustomWSocket::DropSocket() {
  if (hSocket_ != INVALID_SOCKET) WSocket_closesocket(hSocket_);
  hSocket_ = INVALID_SOCKET;
  ChangeState(wsClosed);
}

TSocket TCustomWSocket::Accept() {
  if (state_ != wsListening) {
    WSocket_WSASetLastError(WSAEINVAL);
    RaiseSocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  sockaddr_storage peer{};
  int length = sizeof peer;
  const TSocket accepted = WSocket_accept(hSocket_, reinterpret_cast<sockaddr*>(&peer), &length);
  if (accepted == INVALID_SOCKET) RaiseSocketError("Accept");
  return accepted;
}

void TCustomWSocket::Dup(TSocket NewHSocket) {
  // Descriptor 0 is a socket like any other here.
  if (NewHSocket < 0) {
    WSocket_WSASetLastError(WSAEINVAL);
    RaiseSocketError("Dup");
    return;
  }
  if (state_ != wsClosed) {
    const bool closed = hSocket_ == INVALID_SOCKET || WSocket_closesocket(hSocket_) == 0;
    hSocket_ = INVALID_SOCKET;
    ChangeState(wsClosed);
    if (!closed) RaiseSocketError("Dup (closesocket)");
  }
  hSocket_ = NewHSocket;
  if (!SetLingerOption()) return;
  selectEvent_ = kAcceptedEvents;
  if (WSocket_WSAAsyncSelect(hSocket_, window_, WM_ASYNCSELECT, selectEvent_) != 0) {
    RaiseSocketError("WSAAsyncSelect");
    return;
  }
  ChangeState(wsConnected);
}

void TCustomWSocket::ShutdownSocket(int How) {
  if (hSocket_ != INVALID_SOCKET) WSocket_shutdown(hSocket_, How);
}

// Addresses.

int TCustomWSocket::GetPeerName(sockaddr_in& name) {
  int length = sizeof name;
  return WSocket_getpeername(hSocket_, reinterpret_cast<sockaddr*>(&name), &length);
}

int TCustomWSocket::GetSockName(sockaddr_in& name) {
  int length = sizeof name;
  return WSocket_getsockname(hSocket_, reinterpret_cast<sockaddr*>(&name), &length);
}

bool TCustomWSocket::PeerName(TSocketAddress& peer, const char* functionName) {
  if (state_ != wsConnected) return false;
  sockaddr_storage name{};
  int length = sizeof name;
  if (WSocket_getpeername(hSocket_, reinterpret_cast<sockaddr*>(&name), &length) == 0) {
    peer = TSocketAddress::FromNative(name);
    return true;
  }
  RaiseSocketError(functionName);
  return false;
}

bool TCustomWSocket::LocalName(TSocketAddress& local) {
  if (state_ != wsBound && state_ != wsConnected && state_ != wsListening) return false;
  sockaddr_storage name{};
  int length = sizeof name;
  if (WSocket_getsockname(hSocket_, reinterpret_cast<sockaddr*>(&name), &length) != 0) return false;
  local = TSocketAddress::FromNative(name);
  return true;
}

std::string TCustomWSocket::GetPeerAddr() {
  TSocketAddress peer;
  return PeerName(peer, "GetPeerName") ? peer.Text() : kNoAddress;
}

std::string TCustomWSocket::GetPeerPort() {
  TSocketAddress peer;
  return PeerName(peer, "GetPeerPort") ? IntToStr(peer.Port()) : kNoAddress;
}

std::string TCustomWSocket::GetXAddr() {
  TSocketAddress local;
  return LocalName(local) ? local.Text() : kNoAddress;
}

std::string TCustomWSocket::GetXPort() {
  TSocketAddress local;
  return LocalName(local) ? IntToStr(local.Port()) : kNoAddress;
}
