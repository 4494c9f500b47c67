#pragma once
// The binding to the socket library: its functions are looked up by name on their first
// call and kept in a process-wide table; the library is loaded and started (WSAStartup
// 1.1) on the first lookup and cleaned up and unloaded when the last socket component is
// gone. The failures of loading, starting and looking up always raise ESocketException.

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "http/winsock_types.h"

// The address of the named function, loading the library first when needed; null for an
// empty name. Raises "Procedure NAME not found in LIBRARY Error #N" for a name the
// library lacks.
TSocketProc LoadSocketFunction(const std::string& name);
// The functions of the table, in the order of their slots.
enum TSocketFunctionId {
  sfWSAStartup,
  sfWSACleanup,
  sfWSASetLastError,
  sfWSAGetLastError,
  sfWSACancelAsyncRequest,
  sfWSAAsyncGetHostByName,
  sfWSAAsyncGetHostByAddr,
  sfWSAAsyncSelect,
  sfGetServByName,
  sfGetProtoByName,
  sfGetHostByName,
  sfSocket,
  sfShutdown,
  sfSetSockOpt,
  sfSendTo,
  sfSend,
  sfNtohs,
  sfListen,
  sfIoctlSocket,
  sfInetNtoa,
  sfInetAddr,
  sfHtons,
  sfGetSockName,
  sfGetPeerName,
  sfConnect,
  sfCloseSocket,
  sfBind,
  sfAccept,
  sfRecv,
  sfRecvFrom,
  sfFunctionCount
};
// The function of a slot, looked up by its name (through LoadSocketFunction) on the first
// call and kept until the library is unloaded.
TSocketProc SocketFunction(TSocketFunctionId id);

// Cleans up and unloads the library when it is loaded; the lookups are forgotten.
void UnloadSocketLibrary();

// The socket components alive; when the count drops below 1 the library is unloaded.
void IncrementSocketCount();
void DecrementSocketCount();
int SocketCount();

// What loading the library yields: its functions by name, or nothing with the system's
// error number. The library of this system is the default; a test may load another.
using TSocketLibraryLoader =
    std::function<std::optional<std::map<std::string, TSocketProc>>(int& error)>;
void SetSocketLibraryLoader(TSocketLibraryLoader loader);
