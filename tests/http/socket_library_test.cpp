#include "http/socket_library.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <functional>

#include "http/winsock.h"
#include "http/wsock_posix.h"
#include "runtime/exceptions.h"
#include "runtime/winsock_errors.h"
#include "tests/support/raises.h"

namespace {

// Loads this system's library with changes, and counts the loads.
class SocketLibrary : public ::testing::Test {
 protected:
  void SetUp() override { UnloadSocketLibrary(); }
  void TearDown() override {
    SetSocketLibraryLoader(nullptr);
    UnloadSocketLibrary();
  }

  void LoadWith(std::function<void(std::map<std::string, TSocketProc>&)> change) {
    SetSocketLibraryLoader([this, change](int&) {
      ++loads;
      auto exports = wsock_posix::SocketLibraryExports();
      change(exports);
      return std::optional(exports);
    });
  }

  int loads = 0;
};

std::string SocketErrorOf(const std::function<void()>& fn) {
  return MessageRaised<ESocketException>(fn);
}

int FailingStartup(uint16_t, TWSAData*) {
  return WSASYSNOTREADY;
}

}  // namespace

TEST_F(SocketLibrary, AMissingFunctionRaisesOnItsFirstCallNotAtLoad) {
  LoadWith([](auto& exports) { exports.erase("listen"); });
  const TSocket s = WSocket_socket(AF_INET, SOCK_STREAM, 0);  // the library loads fine
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(SocketErrorOf([&] { WSocket_listen(s, 1); }),
            "Procedure listen not found in wsock_posix Error #127");
  EXPECT_EQ(WSocket_closesocket(s), 0);
  EXPECT_EQ(SocketErrorOf([] { LoadSocketFunction("WSAIoctl"); }),
            "Procedure WSAIoctl not found in wsock_posix Error #127");
  EXPECT_EQ(LoadSocketFunction(""), nullptr);
  EXPECT_EQ(loads, 1);
}

TEST_F(SocketLibrary, LoadAndStartUpFailuresRaiseAndAreTriedAgain) {
  SetSocketLibraryLoader([this](int& error) -> std::optional<std::map<std::string, TSocketProc>> {
    ++loads;
    error = 2;
    return std::nullopt;
  });
  EXPECT_EQ(SocketErrorOf([] { WSocket_socket(AF_INET, SOCK_STREAM, 0); }),
            "Unable to load wsock_posix Error #2");

  LoadWith([](auto& exports) {
    exports["WSAStartup"] = reinterpret_cast<TSocketProc>(&FailingStartup);
  });
  EXPECT_EQ(SocketErrorOf([] { WSocket_socket(AF_INET, SOCK_STREAM, 0); }),
            "wsock_posix: WSAStartup error #10091");
  EXPECT_EQ(SocketErrorOf([] { WSocket_socket(AF_INET, SOCK_STREAM, 0); }),
            "wsock_posix: WSAStartup error #10091");
  EXPECT_EQ(loads, 3);
}

TEST_F(SocketLibrary, TheLastComponentUnloadsAndTheNextCallLoadsAgain) {
  LoadWith([](auto&) {});
  IncrementSocketCount();
  IncrementSocketCount();
  EXPECT_EQ(WSocket_htons(0x1234), htons(0x1234));
  DecrementSocketCount();
  EXPECT_EQ(WSocket_ntohs(0x1234), ntohs(0x1234));
  EXPECT_EQ(loads, 1);
  DecrementSocketCount();  // the last one: unloaded
  EXPECT_EQ(SocketCount(), 0);
  EXPECT_EQ(WSocket_htons(1), htons(1));
  EXPECT_EQ(loads, 2);
  DecrementSocketCount();  // never below 0
  EXPECT_EQ(SocketCount(), 0);
}

TEST_F(SocketLibrary, CleaningUpClosesTheLeftSocketsAndEndsTheService) {
  const TSocket s = WSocket_socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  UnloadSocketLibrary();
  EXPECT_EQ(fcntl(s, F_GETFD), -1);  // closed by the clean-up
  EXPECT_EQ(wsock_posix::socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(wsock_posix::WSAGetLastError(), WSANOTINITIALISED);
}

TEST_F(SocketLibrary, NativeErrorsBecomeWindowsSocketsNumbers) {
  EXPECT_EQ(WSocket_recv(-1, nullptr, 0, 0), SOCKET_ERROR);
  EXPECT_EQ(WSocket_WSAGetLastError(), WSAENOTSOCK);

  // A blocking connect to a port nobody listens on.
  const TSocket listener = WSocket_socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = WSocket_inet_addr("127.0.0.1");
  ASSERT_EQ(WSocket_bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int length = sizeof address;
  ASSERT_EQ(WSocket_getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  WSocket_closesocket(listener);
  const TSocket client = WSocket_socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(WSocket_connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address),
            SOCKET_ERROR);
  EXPECT_EQ(WSocket_WSAGetLastError(), WSAECONNREFUSED);
  WSocket_WSASetLastError(0);
  EXPECT_EQ(WSocket_WSAGetLastError(), 0);
  WSocket_closesocket(client);
  EXPECT_STREQ(WSocket_inet_ntoa(address.sin_addr), "127.0.0.1");
}
