#include <fcntl.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "http/custom_wsocket.h"
#include "http/http_cli.h"

// A static or thread-local socket can be destroyed after its thread's message loop has
// gone; it must then close its descriptor and touch nothing of the loop.
TEST(SocketAfterItsLoop, OnlyClosesItsDescriptor) {
  TSocket descriptor = INVALID_SOCKET;
  std::thread([&descriptor] {
    // Made before the thread's loop, so destroyed after it when the thread ends.
    thread_local std::unique_ptr<TCustomWSocket> outliving;
    outliving = std::make_unique<TCustomWSocket>();
    outliving->SetAddr("127.0.0.1");
    outliving->SetPort("0");
    outliving->SetProto("tcp");
    outliving->Listen();
    descriptor = outliving->HSocket();
  }).join();
  ASSERT_NE(descriptor, INVALID_SOCKET);
  EXPECT_EQ(fcntl(descriptor, F_GETFD), -1);
}

// So can a client, whose window and timers went with the loop: it leaves them alone.
TEST(SocketAfterItsLoop, AClientOutlivingItsLoopEndsQuietly) {
  std::thread([] {
    thread_local std::unique_ptr<THttpCli> outliving;
    outliving = std::make_unique<THttpCli>();
    outliving->MaxTime = 60;  // its timers run
    outliving->URL = "http:///nohost.gif";
    outliving->Get();
  }).join();
}
