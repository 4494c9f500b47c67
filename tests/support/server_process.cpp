#include "tests/support/server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

// Servers take a moment to come up; these limits are only reached when one never does.
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStartPoll = std::chrono::milliseconds(20);

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

bool Accepts(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  const bool accepted =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return accepted;
}

}  // namespace

std::vector<uint16_t> FreeLoopbackPorts(size_t count) {
  // All held open until each is chosen, so that none is handed out twice.
  std::vector<int> held;
  std::vector<uint16_t> ports;
  for (size_t i = 0; i < count; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    held.push_back(fd);
    ports.push_back(ntohs(address.sin_port));
  }
  for (const int fd : held) ::close(fd);
  return ports;
}

TServerProcess::TServerProcess(int stopSignal) : stopSignal_(stopSignal) {}

TServerProcess::~TServerProcess() {
  Stop();
}

void TServerProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(-pid_, stopSignal_);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool TServerProcess::Start(const std::vector<std::string>& command, uint16_t port) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (pid_ < 0) return false;
  ::setpgid(pid_, pid_);
  return AwaitListening(port);
}

bool TServerProcess::AwaitListening(uint16_t port) {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port)) return true;
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    // Nothing tells of a server's listening socket but the socket itself.
    std::this_thread::sleep_for(kStartPoll);
  }
  return false;
}

void PutServedFile(const std::string& root, const std::string& path, const std::string& bytes) {
  namespace fs = std::filesystem;
  const fs::path file = fs::path(root) / fs::path(path).relative_path();
  fs::create_directories(file.parent_path());
  for (fs::path folder = file.parent_path(); folder.string().starts_with(root);
       folder = folder.parent_path())
    fs::permissions(folder, fs::perms(0755));
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  fs::permissions(file, fs::perms(0644));
}
