#pragma once
// The types of the socket library. Sockets are POSIX descriptors; addresses, option
// names, option layouts and ioctl commands are the POSIX ones (sockaddr_in, SOL_SOCKET,
// linger, FIONREAD); the error numbers are those of Windows Sockets (runtime/winsock_errors.h).

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <vector>

using TSocket = int;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// The requested and offered version of WSAStartup: major in the low byte.
constexpr uint16_t kWinsockVersion11 = 0x0101;

struct TWSAData {
  uint16_t wVersion = 0;
  uint16_t wHighVersion = 0;
  std::string szDescription;
};

// A host entry: the official name and the IPv4 addresses in network order. An
// asynchronous lookup by name also gives every address of both families as numeric text,
// in the resolver's order.
struct THostEntry {
  std::string h_name;
  std::vector<in_addr_t> h_addr_list;
  std::vector<std::string> h_addresses;
};

struct TServiceEntry {
  std::string s_name;
  uint16_t s_port = 0;  // network order
  std::string s_proto;
};

struct TProtocolEntry {
  std::string p_name;
  int p_proto = 0;
};

// The address of a library function before it is cast to its real type.
using TSocketProc = void (*)();
