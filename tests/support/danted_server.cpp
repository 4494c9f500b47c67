#include "tests/support/danted_server.h"

#include <unistd.h>

#include <fstream>
#include <random>

#include "tests/support/shell_command.h"

namespace {

constexpr char kDanted[] = "/usr/sbin/danted";

std::string RandomText(const char* prefix) {
  std::random_device random;
  std::string text = prefix;
  for (int i = 0; i < 8; ++i) text += "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
  return text;
}

}  // namespace

TDantedServer::TDantedServer(TDantedMethod method, TDantedLog log, const std::string& external) {
  if (::access(kDanted, X_OK) != 0) {
    reason_ = std::string(kDanted) + " is not installed (scripts/deps installs dante-server)";
    return;
  }
  const uint16_t port = FreeLoopbackPort();
  port_ = std::to_string(port);
  WriteConfiguration(method, log, external);
  const std::string conf = dir_.File("danted.conf"), pidFile = dir_.File("danted.pid");
  if (!process_.Start({kDanted, "-f", conf, "-p", pidFile}, port))
    reason_ = "danted did not start: " + Log();
}

void TDantedServer::WriteConfiguration(TDantedMethod method, TDantedLog log,
                                       const std::string& external) const {
  std::ofstream conf(dir_.File("danted.conf"));
  if (log == TDantedLog::Detailed) conf << "debug: 1\n";
  conf << "logoutput: " << dir_.File("danted.log") << "\n"
       << "internal: 127.0.0.1 port = " << port_ << "\n"
       << "external: " << external << "\n"
       << "clientmethod: none\n"
       << "socksmethod: " << (method == TDantedMethod::Username ? "username" : "none") << "\n";
  // As root, danted checks passwords as root and serves clients as nobody.
  if (::geteuid() == 0) conf << "user.privileged: root\nuser.unprivileged: nobody\n";
  conf << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
       << "socks pass {\n  from: 127.0.0.0/8 to: 127.0.0.0/8\n"
       << "  command: connect\n  protocol: tcp\n  log: connect error\n}\n"
       << "socks pass {\n  from: 127.0.0.0/8 to: ::1/128\n"
       << "  command: connect\n  protocol: tcp\n  log: connect error\n}\n";
}

std::string TDantedServer::Log() const {
  return FileExists(dir_.File("danted.log")) ? ReadWholeFile(dir_.File("danted.log")) : "";
}

int TDantedServer::Relayed(uint16_t port) const {
  // danted logs each connection it made for a client, ending in the target's address.
  const std::string log = Log(), target = " 127.0.0.1." + std::to_string(port) + "\n";
  int found = 0;
  for (size_t at = log.find(target); at != std::string::npos; at = log.find(target, at + 1))
    ++found;
  return found;
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
