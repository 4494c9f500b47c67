#include "http/socket_library.h"

#include <atomic>
#include <mutex>

#include "http/wsock_posix.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

// The system's error number for a name a library does not export.
constexpr int kErrorProcNotFound = 127;

TSocketProc LoadSocketFunctionLocked(const std::string& name);

constexpr const char* kSocketFunctionNames[sfFunctionCount] = {"WSAStartup",
                                                               "WSACleanup",
                                                               "WSASetLastError",
                                                               "WSAGetLastError",
                                                               "WSACancelAsyncRequest",
                                                               "WSAAsyncGetHostByName",
                                                               "WSAAsyncGetHostByAddr",
                                                               "WSAAsyncSelect",
                                                               "getservbyname",
                                                               "getprotobyname",
                                                               "gethostbyname",
                                                               "socket",
                                                               "shutdown",
                                                               "setsockopt",
                                                               "sendto",
                                                               "send",
                                                               "ntohs",
                                                               "listen",
                                                               "ioctlsocket",
                                                               "inet_ntoa",
                                                               "inet_addr",
                                                               "htons",
                                                               "getsockname",
                                                               "getpeername",
                                                               "connect",
                                                               "closesocket",
                                                               "bind",
                                                               "accept",
                                                               "recv",
                                                               "recvfrom"};

struct TBinding {
  std::recursive_mutex mutex;  // the start-up is looked up while the library loads
  std::optional<std::map<std::string, TSocketProc>> library;
  TSocketProc slots[sfFunctionCount] = {};
  TSocketLibraryLoader loader;
};

TBinding& Binding() {
  static TBinding binding;
  return binding;
}

std::atomic<int> socketCount{0};

std::optional<std::map<std::string, TSocketProc>> LoadSystemLibrary(int&) {
  return wsock_posix::SocketLibraryExports();
}

void LoadAndStart(TBinding& binding) {
  int error = 0;
  auto library = binding.loader ? binding.loader(error) : LoadSystemLibrary(error);
  if (!library)
    throw ESocketException(std::string("Unable to load ") + kSocketLibraryName + " Error #" +
                           IntToStr(error));
  binding.library = std::move(library);
  const auto startup =
      reinterpret_cast<decltype(&wsock_posix::WSAStartup)>(LoadSocketFunctionLocked("WSAStartup"));
  TWSAData data;
  const int result = startup(kWinsockVersion11, &data);
  if (result != 0) {
    // Not kept half-loaded: the next call tries the start-up again.
    binding.library.reset();
    throw ESocketException(Format("%s: WSAStartup error #%d", kSocketLibraryName, result));
  }
}

TSocketProc LoadSocketFunctionLocked(const std::string& name) {
  TBinding& binding = Binding();
  if (!binding.library) LoadAndStart(binding);
  if (name.empty()) return nullptr;
  const auto found = binding.library->find(name);
  if (found == binding.library->end() || found->second == nullptr)
    throw ESocketException("Procedure " + name + " not found in " + kSocketLibraryName +
                           " Error #" + IntToStr(kErrorProcNotFound));
  return found->second;
}

}  // namespace

TSocketProc LoadSocketFunction(const std::string& name) {
  std::lock_guard lock(Binding().mutex);
  return LoadSocketFunctionLocked(name);
}

TSocketProc SocketFunction(TSocketFunctionId id) {
  TBinding& binding = Binding();
  std::lock_guard lock(binding.mutex);
  TSocketProc& slot = binding.slots[id];
  if (slot == nullptr) slot = LoadSocketFunctionLocked(kSocketFunctionNames[id]);
  return slot;
}

void UnloadSocketLibrary() {
  TBinding& binding = Binding();
  std::lock_guard lock(binding.mutex);
  if (!binding.library) return;
  const auto cleanup = binding.library->find("WSACleanup");
  if (cleanup != binding.library->end() && cleanup->second)
    reinterpret_cast<decltype(&wsock_posix::WSACleanup)>(cleanup->second)();
  binding.library.reset();
  for (TSocketProc& slot : binding.slots) slot = nullptr;
}

void IncrementSocketCount() {
  ++socketCount;
}

void DecrementSocketCount() {
  if (--socketCount < 1) {
    UnloadSocketLibrary();
    socketCount = 0;
  }
}

int SocketCount() {
  return socketCount;
}

void SetSocketLibraryLoader(TSocketLibraryLoader loader) {
  TBinding& binding = Binding();
  std::lock_guard lock(binding.mutex);
  binding.loader = std::move(loader);
}
