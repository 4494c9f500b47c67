#pragma once
// The socket functions as the socket components call them: WSocket_recv(…) and the rest
// have the signatures of the library's functions (http/wsock_posix.h) and reach them
// through their slots (http/socket_library.h), so the first call of a function the
// library lacks raises "Procedure … not found in …".

#include "http/socket_library.h"
#include "http/wsock_posix.h"

template <auto Function, TSocketFunctionId Id>
struct TBoundSocketFunction;

template <class Result, class... Args, Result (*Function)(Args...), TSocketFunctionId Id>
struct TBoundSocketFunction<Function, Id> {
  Result operator()(Args... args) const {
    return reinterpret_cast<Result (*)(Args...)>(SocketFunction(Id))(args...);
  }
};

inline constexpr TBoundSocketFunction<&wsock_posix::WSAStartup, sfWSAStartup> WSocket_WSAStartup;
inline constexpr TBoundSocketFunction<&wsock_posix::WSACleanup, sfWSACleanup> WSocket_WSACleanup;
inline constexpr TBoundSocketFunction<&wsock_posix::WSASetLastError, sfWSASetLastError>
    WSocket_WSASetLastError;
inline constexpr TBoundSocketFunction<&wsock_posix::WSAGetLastError, sfWSAGetLastError>
    WSocket_WSAGetLastError;
inline constexpr TBoundSocketFunction<&wsock_posix::WSACancelAsyncRequest, sfWSACancelAsyncRequest>
    WSocket_WSACancelAsyncRequest;
inline constexpr TBoundSocketFunction<&wsock_posix::WSAAsyncGetHostByName, sfWSAAsyncGetHostByName>
    WSocket_WSAAsyncGetHostByName;
inline constexpr TBoundSocketFunction<&wsock_posix::WSAAsyncGetHostByAddr, sfWSAAsyncGetHostByAddr>
    WSocket_WSAAsyncGetHostByAddr;
inline constexpr TBoundSocketFunction<&wsock_posix::WSAAsyncSelect, sfWSAAsyncSelect>
    WSocket_WSAAsyncSelect;
inline constexpr TBoundSocketFunction<&wsock_posix::getservbyname, sfGetServByName>
    WSocket_getservbyname;
inline constexpr TBoundSocketFunction<&wsock_posix::getprotobyname, sfGetProtoByName>
    WSocket_getprotobyname;
inline constexpr TBoundSocketFunction<&wsock_posix::gethostbyname, sfGetHostByName>
    WSocket_gethostbyname;
inline constexpr TBoundSocketFunction<&wsock_posix::socket, sfSocket> WSocket_socket;
inline constexpr TBoundSocketFunction<&wsock_posix::shutdown, sfShutdown> WSocket_shutdown;
inline constexpr TBoundSocketFunction<&wsock_posix::setsockopt, sfSetSockOpt> WSocket_setsockopt;
inline constexpr TBoundSocketFunction<&wsock_posix::sendto, sfSendTo> WSocket_sendto;
inline constexpr TBoundSocketFunction<&wsock_posix::send, sfSend> WSocket_send;
inline constexpr TBoundSocketFunction<&wsock_posix::ntohs, sfNtohs> WSocket_ntohs;
inline constexpr TBoundSocketFunction<&wsock_posix::listen, sfListen> WSocket_listen;
inline constexpr TBoundSocketFunction<&wsock_posix::ioctlsocket, sfIoctlSocket> WSocket_ioctlsocket;
inline constexpr TBoundSocketFunction<&wsock_posix::inet_ntoa, sfInetNtoa> WSocket_inet_ntoa;
inline constexpr TBoundSocketFunction<&wsock_posix::inet_addr, sfInetAddr> WSocket_inet_addr;
inline constexpr TBoundSocketFunction<&wsock_posix::htons, sfHtons> WSocket_htons;
inline constexpr TBoundSocketFunction<&wsock_posix::getsockname, sfGetSockName> WSocket_getsockname;
inline constexpr TBoundSocketFunction<&wsock_posix::getpeername, sfGetPeerName> WSocket_getpeername;
inline constexpr TBoundSocketFunction<&wsock_posix::connect, sfConnect> WSocket_connect;
inline constexpr TBoundSocketFunction<&wsock_posix::closesocket, sfCloseSocket> WSocket_closesocket;
inline constexpr TBoundSocketFunction<&wsock_posix::bind, sfBind> WSocket_bind;
inline constexpr TBoundSocketFunction<&wsock_posix::accept, sfAccept> WSocket_accept;
inline constexpr TBoundSocketFunction<&wsock_posix::recv, sfRecv> WSocket_recv;
inline constexpr TBoundSocketFunction<&wsock_posix::recvfrom, sfRecvFrom> WSocket_recvfrom;
