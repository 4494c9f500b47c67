#include "http/wsock_posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <system_error>

#include "http/host_lookup.h"
#include "runtime/winsock_errors.h"

namespace wsock_posix {
namespace {

// Room for the text fields of a services or protocols database line.
constexpr size_t kDatabaseLineSize = 4096;

thread_local int lastError = 0;

// The start-ups not yet cleaned up, and the sockets the library made, which the last
// clean-up closes, as Windows Sockets does.
std::mutex libraryMutex;
int startups = 0;
std::set<TSocket> openSockets;

// Leaves error for WSAGetLastError and gives the failure's result.
template <class T>
T FailWith(int error, T result) {
  lastError = error;
  return result;
}

int Fail(int error) {
  return FailWith(error, SOCKET_ERROR);
}

// The failure of the POSIX call just made; a bad descriptor is "not a socket" here.
int FailErrno(int error = errno) {
  return Fail(error == EBADF ? WSAENOTSOCK : WinsockErrorFromErrno(error));
}

bool Started() {
  std::lock_guard lock(libraryMutex);
  if (startups > 0) return true;
  lastError = WSANOTINITIALISED;
  return false;
}

TSocket Opened(TSocket s) {
  std::lock_guard lock(libraryMutex);
  openSockets.insert(s);
  return s;
}

void ReEnable(TSocket s, uint32_t event) {
  MessageLoop::Current().ReEnableSocketEvent(s, event);
}

// The count of a receive, or SOCKET_ERROR; a receive allows the next read notification.
int Received(TSocket s, ssize_t count) {
  const int error = errno;
  ReEnable(s, kFdRead);
  return count < 0 ? FailErrno(error) : static_cast<int>(count);
}

// The count of a send, or SOCKET_ERROR. A send that would block, or that took only part of
// the data (which Windows Sockets does not do, but this system does), asks to be told
// when there is room again.
int Sent(TSocket s, ssize_t count, int offered) {
  const int error = errno;
  if ((count < 0 && error == EAGAIN) || (count >= 0 && count < offered)) ReEnable(s, kFdWrite);
  return count < 0 ? FailErrno(error) : static_cast<int>(count);
}

THostEntry ResolveName(const std::string& name, int& error) {
  THostLookupResult found = LookupHost(name);
  error = found.Error;
  THostEntry entry;
  if (error != 0) return entry;
  entry.h_name = found.CanonicalName;
  for (const std::string& text : found.Addresses) {
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) == 1)
      entry.h_addr_list.push_back(address.s_addr);
  }
  entry.h_addresses = std::move(found.Addresses);
  if (entry.h_addresses.empty()) error = WSANO_DATA;
  return entry;
}

THostEntry ResolveAddress(in_addr_t address, int& error) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_addr.s_addr = address;
  char host[NI_MAXHOST];
  error = WinsockErrorFromAddrInfo(::getnameinfo(reinterpret_cast<sockaddr*>(&socketAddress),
                                                 sizeof socketAddress, host, sizeof host, nullptr,
                                                 0, NI_NAMEREQD));
  THostEntry entry;
  if (error == 0) entry = THostEntry{host, {address}, {}};
  return entry;
}

// Runs lookup on a worker thread; its result is copied into entry on the loop's thread,
// only when the answer is delivered (never after a cancel).
TAsyncHandle StartLookup(TWindowHandle window, uint32_t msg, THostEntry* entry,
                         std::function<THostEntry(int& error)> lookup) {
  if (!Started()) return 0;
  MessageLoop& loop = MessageLoop::Current();
  if (entry == nullptr || !loop.IsWindow(window)) return FailWith(WSAEINVAL, TAsyncHandle{0});
  try {
    return loop.StartAsyncRequest(window, msg, [lookup = std::move(lookup), entry] {
      int error = 0;
      THostEntry found = lookup(error);
      return MessageLoop::TAsyncAnswer([found = std::move(found), error, entry] {
        if (error == 0) *entry = found;
        return MakeSelectReply(0, static_cast<uint32_t>(error));
      });
    });
  } catch (const std::system_error&) {
    return FailWith(WSAENOBUFS, TAsyncHandle{0});
  }
}

class TLength {
 public:
  explicit TLength(int* length) : length_(length), value_(length ? *length : 0) {}
  ~TLength() {
    if (length_) *length_ = static_cast<int>(value_);
  }
  socklen_t* get() { return length_ ? &value_ : nullptr; }

 private:
  int* length_;
  socklen_t value_;
};

}  // namespace

int WSAStartup(uint16_t versionRequested, TWSAData* data) {
  if ((versionRequested & 0xFF) < 1) return WSAVERNOTSUPPORTED;
  if (data == nullptr) return WSAEFAULT;
  *data = TWSAData{kWinsockVersion11, kWinsockVersion11, kSocketLibraryName};
  std::lock_guard lock(libraryMutex);
  ++startups;
  return 0;
}

int WSACleanup() {
  std::set<TSocket> left;
  {
    std::lock_guard lock(libraryMutex);
    if (startups == 0) return Fail(WSANOTINITIALISED);
    if (--startups == 0) left.swap(openSockets);
  }
  for (const TSocket s : left) {
    if (!MessageLoop::CurrentEnded()) MessageLoop::Current().ForgetSocket(s);
    ::close(s);
  }
  return 0;
}

void WSASetLastError(int error) {
  lastError = error;
}

int WSAGetLastError() {
  return lastError;
}

int WSACancelAsyncRequest(TAsyncHandle request) {
  if (!Started()) return SOCKET_ERROR;
  return MessageLoop::Current().CancelAsyncRequest(request) ? 0 : Fail(WSAEINVAL);
}

TAsyncHandle WSAAsyncGetHostByName(TWindowHandle window, uint32_t msg, const char* name,
                                   THostEntry* entry) {
  if (name == nullptr) return FailWith(WSAEFAULT, TAsyncHandle{0});
  return StartLookup(window, msg, entry,
                     [name = std::string(name)](int& error) { return ResolveName(name, error); });
}

TAsyncHandle WSAAsyncGetHostByAddr(TWindowHandle window, uint32_t msg, const char* address,
                                   int length, int family, THostEntry* entry) {
  if (family != AF_INET) return FailWith(WSAEAFNOSUPPORT, TAsyncHandle{0});
  if (address == nullptr || length < static_cast<int>(sizeof(in_addr_t)))
    return FailWith(WSAEFAULT, TAsyncHandle{0});
  in_addr_t value = 0;
  std::memcpy(&value, address, sizeof value);
  return StartLookup(window, msg, entry,
                     [value](int& error) { return ResolveAddress(value, error); });
}

int WSAAsyncSelect(TSocket s, TWindowHandle window, uint32_t msg, long events) {
  if (!Started()) return SOCKET_ERROR;
  MessageLoop& loop = MessageLoop::Current();
  if (events != 0 && !loop.IsWindow(window)) return Fail(WSAEINVAL);
  int type = 0;
  socklen_t length = sizeof type;
  if (::getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &length) != 0) return FailErrno();
  const int flags = ::fcntl(s, F_GETFL);
  if (flags < 0 || ::fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) return FailErrno();
  loop.AsyncSelect(s, window, msg, static_cast<uint32_t>(events));
  return 0;
}

const TServiceEntry* getservbyname(const char* name, const char* protocol) {
  if (!Started()) return nullptr;
  thread_local TServiceEntry service;
  servent entry{};
  servent* result = nullptr;
  char buffer[kDatabaseLineSize];
  ::getservbyname_r(name, protocol, &entry, buffer, sizeof buffer, &result);
  if (result == nullptr) return FailWith(WSANO_DATA, nullptr);
  service = TServiceEntry{result->s_name, static_cast<uint16_t>(result->s_port), result->s_proto};
  return &service;
}

const TProtocolEntry* getprotobyname(const char* name) {
  if (!Started()) return nullptr;
  thread_local TProtocolEntry protocol;
  protoent entry{};
  protoent* result = nullptr;
  char buffer[kDatabaseLineSize];
  ::getprotobyname_r(name, &entry, buffer, sizeof buffer, &result);
  if (result == nullptr) return FailWith(WSANO_DATA, nullptr);
  protocol = TProtocolEntry{result->p_name, result->p_proto};
  return &protocol;
}

const THostEntry* gethostbyname(const char* name) {
  if (!Started()) return nullptr;
  if (name == nullptr) return FailWith(WSAEFAULT, nullptr);
  thread_local THostEntry host;
  int error = 0;
  host = ResolveName(name, error);
  if (error == 0 && host.h_addr_list.empty()) error = WSANO_DATA;  // IPv6 addresses only
  if (error != 0) return FailWith(error, nullptr);
  return &host;
}

TSocket socket(int family, int type, int protocol) {
  if (!Started()) return INVALID_SOCKET;
  const TSocket s = ::socket(family, type | SOCK_CLOEXEC, protocol);
  return s < 0 ? FailErrno() : Opened(s);
}

int shutdown(TSocket s, int how) {
  if (!Started()) return SOCKET_ERROR;
  return ::shutdown(s, how) == 0 ? 0 : FailErrno();
}

int setsockopt(TSocket s, int level, int name, const void* value, int length) {
  if (!Started()) return SOCKET_ERROR;
  return ::setsockopt(s, level, name, value, static_cast<socklen_t>(length)) == 0 ? 0 : FailErrno();
}

int sendto(TSocket s, const void* data, int length, int flags, const sockaddr* to, int toLength) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0) return Fail(WSAEFAULT);
  const ssize_t sent = ::sendto(s, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL, to,
                                static_cast<socklen_t>(toLength));
  return Sent(s, sent, length);
}

int send(TSocket s, const void* data, int length, int flags) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0) return Fail(WSAEFAULT);
  const ssize_t sent = ::send(s, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
  return Sent(s, sent, length);
}

uint16_t(ntohs)(uint16_t value) {
  return ::ntohs(value);
}

int listen(TSocket s, int backlog) {
  if (!Started()) return SOCKET_ERROR;
  return ::listen(s, backlog) == 0 ? 0 : FailErrno();
}

int ioctlsocket(TSocket s, long command, unsigned long* argument) {
  if (!Started()) return SOCKET_ERROR;
  if (argument == nullptr) return Fail(WSAEFAULT);
  if (command == FIONREAD) {
    int count = 0;
    if (::ioctl(s, FIONREAD, &count) != 0) return FailErrno();
    *argument = static_cast<unsigned long>(count);
    return 0;
  }
  if (command == FIONBIO) {
    const int flags = ::fcntl(s, F_GETFL);
    const int wanted = *argument ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    return flags >= 0 && ::fcntl(s, F_SETFL, wanted) == 0 ? 0 : FailErrno();
  }
  return Fail(WSAEINVAL);
}

const char* inet_ntoa(in_addr address) {
  thread_local char text[INET_ADDRSTRLEN];
  return ::inet_ntop(AF_INET, &address, text, sizeof text);
}

in_addr_t inet_addr(const char* text) {
  return text ? ::inet_addr(text) : INADDR_NONE;
}

uint16_t(htons)(uint16_t value) {
  return ::htons(value);
}

int getsockname(TSocket s, sockaddr* name, int* length) {
  if (!Started()) return SOCKET_ERROR;
  return ::getsockname(s, name, TLength(length).get()) == 0 ? 0 : FailErrno();
}

int getpeername(TSocket s, sockaddr* name, int* length) {
  if (!Started()) return SOCKET_ERROR;
  return ::getpeername(s, name, TLength(length).get()) == 0 ? 0 : FailErrno();
}

int connect(TSocket s, const sockaddr* name, int length) {
  if (!Started()) return SOCKET_ERROR;
  const int result = ::connect(s, name, static_cast<socklen_t>(length));
  const int error = errno;
  // Made at once or under way, the connection is announced by one notification.
  if (result == 0 || error == EINPROGRESS) ReEnable(s, kFdConnect);
  return result == 0 ? 0 : FailErrno(error);
}

int closesocket(TSocket s) {
  if (!Started()) return SOCKET_ERROR;
  if (!MessageLoop::CurrentEnded()) MessageLoop::Current().ForgetSocket(s);
  {
    std::lock_guard lock(libraryMutex);
    openSockets.erase(s);
  }
  // After EINTR the descriptor is closed all the same on this system.
  return ::close(s) == 0 || errno == EINTR ? 0 : FailErrno();
}

int bind(TSocket s, const sockaddr* name, int length) {
  if (!Started()) return SOCKET_ERROR;
  return ::bind(s, name, static_cast<socklen_t>(length)) == 0 ? 0 : FailErrno();
}

TSocket accept(TSocket s, sockaddr* address, int* length) {
  if (!Started()) return INVALID_SOCKET;
  // The new socket blocks or not like the listening one.
  const int flags = ::fcntl(s, F_GETFL);
  const int blocking = flags >= 0 && (flags & O_NONBLOCK) ? SOCK_NONBLOCK : 0;
  const TSocket accepted = ::accept4(s, address, TLength(length).get(), SOCK_CLOEXEC | blocking);
  const int error = errno;
  ReEnable(s, kFdAccept);
  return accepted < 0 ? FailErrno(error) : Opened(accepted);
}

int recv(TSocket s, void* buffer, int length, int flags) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0) return Fail(WSAEFAULT);
  const ssize_t received = ::recv(s, buffer, static_cast<size_t>(length), flags);
  return Received(s, received);
}

int recvfrom(TSocket s, void* buffer, int length, int flags, sockaddr* from, int* fromLength) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0) return Fail(WSAEFAULT);
  const ssize_t received =
      ::recvfrom(s, buffer, static_cast<size_t>(length), flags, from, TLength(fromLength).get());
  return Received(s, received);
}

std::map<std::string, TSocketProc> SocketLibraryExports() {
  auto proc = [](auto function) { return reinterpret_cast<TSocketProc>(function); };
  return {
      {"WSAStartup", proc(&WSAStartup)},
      {"WSACleanup", proc(&WSACleanup)},
      {"WSASetLastError", proc(&WSASetLastError)},
      {"WSAGetLastError", proc(&WSAGetLastError)},
      {"WSACancelAsyncRequest", proc(&WSACancelAsyncRequest)},
      {"WSAAsyncGetHostByName", proc(&WSAAsyncGetHostByName)},
      {"WSAAsyncGetHostByAddr", proc(&WSAAsyncGetHostByAddr)},
      {"WSAAsyncSelect", proc(&WSAAsyncSelect)},
      {"getservbyname", proc(&getservbyname)},
      {"getprotobyname", proc(&getprotobyname)},
      {"gethostbyname", proc(&gethostbyname)},
      {"socket", proc(&socket)},
      {"shutdown", proc(&shutdown)},
      {"setsockopt", proc(&setsockopt)},
      {"sendto", proc(&sendto)},
      {"send", proc(&send)},
      {"ntohs", proc(&ntohs)},
      {"listen", proc(&listen)},
      {"ioctlsocket", proc(&ioctlsocket)},
      {"inet_ntoa", proc(&inet_ntoa)},
      {"inet_addr", proc(&inet_addr)},
      {"htons", proc(&htons)},
      {"getsockname", proc(&getsockname)},
      {"getpeername", proc(&getpeername)},
      {"connect", proc(&connect)},
      {"closesocket", proc(&closesocket)},
      {"bind", proc(&bind)},
      {"accept", proc(&accept)},
      {"recv", proc(&recv)},
      {"recvfrom", proc(&recvfrom)},
  };
}

}  // namespace wsock_posix
