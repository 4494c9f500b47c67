#include "tests/http/danted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "tests/support/shell_command.h"

namespace {

constexpr char kDanted[] = "/usr/sbin/danted";
// danted takes a moment to come up; this limit is only reached when it never does.
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStartPoll = std::chrono::milliseconds(20);

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// A port that was free a moment ago.
uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  const bool accepted =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return accepted;
}

std::string RandomText(const char* prefix) {
  std::random_device random;
  std::string text = prefix;
  for (int i = 0; i < 8; ++i) text += "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
  return text;
}

}  // namespace

TDantedServer::TDantedServer(TDantedMethod method) {
  if (::access(kDanted, X_OK) != 0) {
    reason_ = std::string(kDanted) + " is not installed (scripts/deps installs dante-server)";
    return;
  }
  port_ = std::to_string(FreePort());
  WriteConfiguration(method);
  Start();
}

TDantedServer::~TDantedServer() {
  if (pid_ <= 0) return;
  // danted serves from child processes of its own: the group started here ends with it.
  ::kill(-pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

void TDantedServer::WriteConfiguration(TDantedMethod method) const {
  std::ofstream conf(dir_.File("danted.conf"));
  conf << "logoutput: " << dir_.File("danted.log") << "\n"
       << "internal: 127.0.0.1 port = " << port_ << "\n"
       << "external: 127.0.0.1\n"
       << "clientmethod: none\n"
       << "socksmethod: " << (method == TDantedMethod::Username ? "username" : "none") << "\n";
  // As root, danted checks passwords as root and serves clients as nobody.
  if (::geteuid() == 0) conf << "user.privileged: root\nuser.unprivileged: nobody\n";
  conf << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
       << "socks pass {\n  from: 127.0.0.0/8 to: 127.0.0.0/8\n"
       << "  command: connect\n  protocol: tcp\n  log: connect error\n}\n";
}

void TDantedServer::Start() {
  const std::string conf = dir_.File("danted.conf"), pidFile = dir_.File("danted.pid");
  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);
    ::execl(kDanted, kDanted, "-f", conf.c_str(), "-p", pidFile.c_str(), nullptr);
    ::_exit(127);
  }
  if (pid_ < 0) {
    reason_ = "cannot start danted";
    return;
  }
  ::setpgid(pid_, pid_);
  if (!AwaitListening()) reason_ = "danted did not start: " + Log();
}

bool TDantedServer::AwaitListening() {
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  const auto port = static_cast<uint16_t>(std::stoi(port_));
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port)) return true;
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    // Nothing tells of danted's listening socket but the socket itself.
    std::this_thread::sleep_for(kStartPoll);
  }
  return false;
}

std::string TDantedServer::Log() const {
  return FileExists(dir_.File("danted.log")) ? ReadWholeFile(dir_.File("danted.log")) : "";
}

TSystemUser::TSystemUser() {
  if (::geteuid() != 0) {
    reason_ = "making a system user for the password check needs root";
    return;
  }
  name_ = RandomText("isv");
  password_ = RandomText("pw");
  if (RunCommand("useradd -M -N -s /usr/sbin/nologin " + name_ + " 2>&1").status != 0) {
    reason_ = "useradd failed";
    name_.clear();
    return;
  }
  if (RunCommand("echo '" + name_ + ":" + password_ + "' | chpasswd 2>&1").status != 0)
    reason_ = "chpasswd failed";
}

TSystemUser::~TSystemUser() {
  if (!name_.empty()) RunCommand("userdel " + name_ + " 2>&1");
}
