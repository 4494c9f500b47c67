#include "tests/support/squid_server.h"

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/access_log.h"
#include "tests/support/shell_command.h"

namespace {

constexpr char kSquid[] = "/usr/sbin/squid";
constexpr char kBasicHelper[] = "/usr/lib/squid/basic_ncsa_auth";
// squid logs a connection that brought no request (the start-up check's) with "-" for
// its method.
constexpr char kNoRequest[] = "- ";
// The user Debian's squid switches to when started as root.
constexpr char kProxyUser[] = "proxy";
constexpr char kSharedMemory[] = "/dev/shm";
constexpr const char* kWrittenFiles[] = {"access.log", "cache.log", "squid.pid"};

}  // namespace

TSquidServer::TSquidServer(TSquidAuthentication authentication, TSquidTunnels tunnels)
    : port_(FreeLoopbackPort()), service_("isoviewtest" + std::to_string(port_)) {
  WriteConfiguration(authentication, tunnels);
  HandOverToProxyUser();
  if (!process_.Start({kSquid, "-N", "-n", service_, "-f", dir_.File("squid.conf")}, port_))
    reason_ = "squid did not start: " +
              (FileExists(dir_.File("cache.log")) ? ReadWholeFile(dir_.File("cache.log")) : "");
}

// Killed, squid leaves its shared memory segments behind.
TSquidServer::~TSquidServer() {
  process_.Stop();
  for (const auto& entry : std::filesystem::directory_iterator(kSharedMemory))
    if (entry.path().filename().string().starts_with(service_ + "-"))
      std::filesystem::remove(entry.path());
}

void TSquidServer::WriteConfiguration(TSquidAuthentication authentication,
                                      TSquidTunnels tunnels) const {
  std::ofstream conf(dir_.File("squid.conf"));
  conf << "http_port 127.0.0.1:" << port_ << "\nvisible_hostname isoview-test\n"
       << "pid_filename " << dir_.File("squid.pid") << "\ncache_log " << dir_.File("cache.log")
       << "\nlogformat records %rm %ru\t%>Hs\t%un\n"
       << "access_log stdio:" << dir_.File("access.log") << " records\n"
       << "cache deny all\ncache_mem 8 MB\npinger_enable off\n";
  if (tunnels == TSquidTunnels::Refused)
    conf << "acl tunnel method CONNECT\nhttp_access deny tunnel\n";
  if (authentication == TSquidAuthentication::Basic) {
    const TCommandResult hash =
        RunCommand(std::string("openssl passwd -apr1 '") + Password() + "'");
    WriteWholeFile(dir_.File("passwd"), std::string(User()) + ":" + hash.output);
    conf << "auth_param basic program " << kBasicHelper << " " << dir_.File("passwd") << "\n"
         << "auth_param basic children 1\nacl users proxy_auth REQUIRED\n"
         << "http_access allow users\n";
  } else {
    conf << "http_access allow localhost\n";
  }
  conf << "http_access deny all\n";
}

// As root, squid runs as its own user, which must write its logs and read its files.
void TSquidServer::HandOverToProxyUser() const {
  for (const char* name : kWrittenFiles) WriteWholeFile(dir_.File(name), "");
  const passwd* proxy = ::getpwnam(kProxyUser);
  if (::geteuid() != 0 || proxy == nullptr) return;
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
  for (const char* name : kWrittenFiles)
    (void)!::chown(dir_.File(name).c_str(), proxy->pw_uid, proxy->pw_gid);
}

std::vector<TProxyRecord> TSquidServer::NextRecords(size_t count) {
  std::vector<TProxyRecord> records;
  while (records.size() < count) {
    const auto lines = AwaitLogLines(dir_.File("access.log"), seen_ + 1);
    if (lines.size() <= seen_) break;  // the guard ran out
    for (; seen_ < lines.size(); ++seen_) {
      auto fields = lines[seen_];
      fields.resize(3);
      if (!fields[0].starts_with(kNoRequest)) records.push_back({fields[0], fields[1], fields[2]});
    }
  }
  return records;
}
