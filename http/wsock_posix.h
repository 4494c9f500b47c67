#pragma once
// The socket library: the Windows Sockets 1.1 functions over POSIX sockets, with the
// readiness notifications and asynchronous lookups of the calling thread's MessageLoop.
// Its functions are not called by name but looked up in SocketLibraryExports through
// LoadSocketFunction, like those of a library loaded at run time.
//
// Behaviour as in Windows Sockets: failures return SOCKET_ERROR (or INVALID_SOCKET, null,
// 0) and leave their number for WSAGetLastError; every function but the start-up ones
// fails with WSANOTINITIALISED outside WSAStartup/WSACleanup; a socket selected with
// WSAAsyncSelect is non-blocking; recv, accept, connect and a send that would block
// re-enable the matching notification.

#include <map>
#include <string>

#include "http/winsock_types.h"
#include "runtime/message_loop.h"

// The name the library goes by in its error texts.
inline constexpr const char* kSocketLibraryName = "wsock_posix";

namespace wsock_posix {

int WSAStartup(uint16_t versionRequested, TWSAData* data);
int WSACleanup();
void WSASetLastError(int error);
int WSAGetLastError();
int WSACancelAsyncRequest(TAsyncHandle request);
// The answer reaches window as msg: wParam the handle, lParam MakeSelectReply(0, error);
// on error 0, entry holds the host.
TAsyncHandle WSAAsyncGetHostByName(TWindowHandle window, uint32_t msg, const char* name,
                                   THostEntry* entry);
TAsyncHandle WSAAsyncGetHostByAddr(TWindowHandle window, uint32_t msg, const char* address,
                                   int length, int family, THostEntry* entry);
int WSAAsyncSelect(TSocket socket, TWindowHandle window, uint32_t msg, long events);
// The entries returned stay valid on the calling thread until its next call of the same
// function.
const TServiceEntry* getservbyname(const char* name, const char* protocol);
const TProtocolEntry* getprotobyname(const char* name);
const THostEntry* gethostbyname(const char* name);
TSocket socket(int family, int type, int protocol);
int shutdown(TSocket socket, int how);
int setsockopt(TSocket socket, int level, int name, const void* value, int length);
int sendto(TSocket socket, const void* data, int length, int flags, const sockaddr* to,
           int toLength);
int send(TSocket socket, const void* data, int length, int flags);
uint16_t(ntohs)(uint16_t value);  // parenthesised: the C library has macros of the name
int listen(TSocket socket, int backlog);
int ioctlsocket(TSocket socket, long command, unsigned long* argument);
const char* inet_ntoa(in_addr address);
in_addr_t inet_addr(const char* text);
uint16_t(htons)(uint16_t value);
int getsockname(TSocket socket, sockaddr* name, int* length);
int getpeername(TSocket socket, sockaddr* name, int* length);
int connect(TSocket socket, const sockaddr* name, int length);
int closesocket(TSocket socket);
int bind(TSocket socket, const sockaddr* name, int length);
TSocket accept(TSocket socket, sockaddr* address, int* length);
int recv(TSocket socket, void* buffer, int length, int flags);
int recvfrom(TSocket socket, void* buffer, int length, int flags, sockaddr* from, int* fromLength);

// Every function of the library by its name.
std::map<std::string, TSocketProc> SocketLibraryExports();

}  // namespace wsock_posix
