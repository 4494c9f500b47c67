// TCustomWSocket: connecting, binding, socket options, the server side and the addresses.
#include <arpa/inet.h>
#include <netinet/tcp.h>

#include <cerrno>

#include "http/custom_wsocket.h"
#include "http/resolvers.h"
#include "http/winsock.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr char kAnyAddress[] = "0.0.0.0";
constexpr char kBroadcastAddress[] = "255.255.255.255";
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
  hSocket_ = WSocket_socket(AF_INET, type_, proto_);
  if (hSocket_ == INVALID_SOCKET) {
    RaiseSocketError("Connect (socket)");
    return;
  }
  ChangeState(wsOpened);
  if (state_ != wsOpened) {
    WSocket_WSASetLastError(WSAEINVAL);
    RaiseSocketError("Connect (Invalid operation in OnChangeState)");
    return;
  }
  if (!(type_ == SOCK_DGRAM ? ApplyDatagramOptions() : ApplyStreamOptions())) return;

  selectEvent_ = kClientEvents;
  if (WSocket_WSAAsyncSelect(hSocket_, window_, WM_ASYNCSELECT, selectEvent_) != 0) {
    RaiseSocketError("WSAAsyncSelect");
    return;
  }
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
  sin_.sin_port = WSocket_htons(portNum_);
  portResolved_ = true;
}

void TCustomWSocket::ResolveAddr() {
  if (addrResolved_) return;
  sin_.sin_addr.s_addr = WSocketResolveHost(addrStr_);
  addrResolved_ = true;
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
  return true;
}

void TCustomWSocket::StartConnect() {
  if (WSocket_connect(hSocket_, reinterpret_cast<const sockaddr*>(&sin_), sizeof sin_) == 0 ||
      WSocket_WSAGetLastError() == WSAEWOULDBLOCK) {
    ChangeState(wsConnecting);
    return;
  }
  lastError_ = WSocket_WSAGetLastError();
  RaiseSocketError("Connect");
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
  if (sin_.sin_addr.s_addr == INADDR_BROADCAST)
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

bool TCustomWSocket::BindSocket() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = WSocket_htons(localPortNum_);
  local.sin_addr.s_addr = WSocketResolveHost(localAddr_);
  if (WSocket_bind(hSocket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ReportError(Format("winsock.bind failed, error #%d", WSocket_WSAGetLastError()));
    return false;
  }
  int length = sizeof local;
  if (WSocket_getsockname(hSocket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    ReportError(Format("winsock.getsockname failed, error #%d", WSocket_WSAGetLastError()));
    return false;
  }
  localPortNum_ = WSocket_ntohs(local.sin_port);
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

  hSocket_ = WSocket_socket(AF_INET, type_, proto_);
  if (hSocket_ == INVALID_SOCKET) {
    RaiseSocketError("socket");
    return;
  }
  ChangeState(wsOpened);
  if (type_ == SOCK_DGRAM && reuseAddr_ &&
      !SetBooleanOption(SOL_SOCKET, SO_REUSEADDR, "setsockopt(SO_REUSEADDR)"))
    return;
  if (WSocket_bind(hSocket_, reinterpret_cast<const sockaddr*>(&sin_), sizeof sin_) != 0) {
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
  sockaddr_in peer{};
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

bool TCustomWSocket::PeerName(sockaddr_in& peer, const char* functionName) {
  if (state_ != wsConnected) return false;
  if (GetPeerName(peer) == 0) return true;
  RaiseSocketError(functionName);
  return false;
}

bool TCustomWSocket::LocalName(sockaddr_in& local) {
  return (state_ == wsBound || state_ == wsConnected || state_ == wsListening) &&
         GetSockName(local) == 0;
}

std::string TCustomWSocket::GetPeerAddr() {
  sockaddr_in peer{};
  return PeerName(peer, "GetPeerName") ? WSocket_inet_ntoa(peer.sin_addr) : kNoAddress;
}

std::string TCustomWSocket::GetPeerPort() {
  sockaddr_in peer{};
  return PeerName(peer, "GetPeerPort") ? IntToStr(WSocket_ntohs(peer.sin_port)) : kNoAddress;
}

std::string TCustomWSocket::GetXAddr() {
  sockaddr_in local{};
  return LocalName(local) ? WSocket_inet_ntoa(local.sin_addr) : kNoAddress;
}

std::string TCustomWSocket::GetXPort() {
  sockaddr_in local{};
  return LocalName(local) ? IntToStr(WSocket_ntohs(local.sin_port)) : kNoAddress;
}
