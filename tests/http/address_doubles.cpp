#include "tests/http/address_doubles.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "runtime/winsock_errors.h"

TAnsweringHook::TAnsweringHook(const std::string& name, std::vector<std::string> addresses)
    : hook_([this, name, addresses](const std::string& asked) {
        std::lock_guard lock(mutex_);
        asked_.push_back(asked);
        return asked == name ? THostLookupResult{0, asked, addresses}
                             : THostLookupResult{WSAHOST_NOT_FOUND, "", {}};
      }) {}

std::vector<std::string> TAnsweringHook::Asked() {
  std::lock_guard lock(mutex_);
  return asked_;
}

TStalledListener::TStalledListener(const std::string& address, const std::string& port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
  inet_pton(AF_INET, address.c_str(), &where.sin_addr);
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  const bool listening = bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
                         listen(listener_, 0) == 0;
  EXPECT_TRUE(listening) << address << ":" << port;
  for (int& filler : fillers_) {
    filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(filler, reinterpret_cast<sockaddr*>(&where), sizeof where);
  }
}

TStalledListener::~TStalledListener() {
  for (const int filler : fillers_) close(filler);
  close(listener_);
}

void TStalledListener::Answer() {
  for (int taken; (taken = accept(listener_, nullptr, nullptr)) >= 0;) close(taken);
}
