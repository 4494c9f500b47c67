#include "tests/http/nginx_server.h"

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "tests/support/shell_command.h"

namespace {

constexpr char kNginx[] = "/usr/sbin/nginx";
constexpr int kRedirectCodes[] = {301, 302, 303, 307, 308};
// nginx sends a second's worth at once, then the rest in pieces: a body of some tens of KiB
// comes in many reads over about a second.
constexpr char kSlowRate[] = "32k";

// A password file line as nginx reads it, hashed by openssl (apr1, as htpasswd makes).
std::string PasswordLine(const std::string& user, const std::string& password) {
  const TCommandResult hash = RunCommand("openssl passwd -apr1 '" + password + "'");
  return user + ":" + hash.output;
}

}  // namespace

TNginxServer::TNginxServer() {
  const std::vector<uint16_t> ports = FreeLoopbackPorts(3);
  plainPort_ = ports[0];
  otherPort_ = ports[1];
  securePort_ = ports[2];
  std::filesystem::create_directories(dir_.File("www"));
  // Readable by the unprivileged user a server may switch to.
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
  WriteConfiguration();
  const std::string conf = dir_.File("nginx.conf");
  if (!process_.Start({kNginx, "-p", dir_.Path(), "-c", conf, "-e", dir_.File("error.log")},
                      plainPort_))
    reason_ = "nginx did not start: " + ErrorLog();
}

void TNginxServer::WriteConfiguration() const {
  WriteWholeFile(dir_.File("passwd"), PasswordLine(User(), Password()));
  WriteWholeFile(dir_.File("locations.conf"), Locations());
  const TCertificateFiles identity = authority_.Issue("server", {"localhost", "127.0.0.1", "::1"});
  std::ofstream conf(dir_.File("nginx.conf"));
  if (::geteuid() == 0) conf << "user root;\n";
  conf << "daemon off;\nmaster_process off;\npid " << dir_.File("nginx.pid") << ";\n"
       << "error_log " << dir_.File("error.log") << ";\n"
       << "events { worker_connections 64; }\nhttp {\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
    conf << "  " << temp << "_temp_path " << dir_.File(temp) << ";\n";
  conf << "  log_format records '" << kNginxRecordFormat << "';\n"
       << "  access_log " << dir_.File("access.log") << " records;\n"
       << "  root " << dir_.File("www") << ";\n"
       << "  server {\n    listen 127.0.0.1:" << plainPort_
       << ";\n    listen 127.0.0.2:" << plainPort_ << ";\n    listen [::1]:" << plainPort_
       << ";\n    include locations.conf;\n  }\n"
       << "  server {\n    listen 127.0.0.1:" << otherPort_
       << ";\n    include locations.conf;\n  }\n"
       << "  server {\n    listen 127.0.0.1:" << securePort_
       << " ssl;\n    listen [::1]:" << securePort_ << " ssl;\n"
       << "    ssl_certificate " << identity.Certificate << ";\n"
       << "    ssl_certificate_key " << identity.Key << ";\n    include locations.conf;\n  }\n}\n";
}

std::string TNginxServer::Locations() const {
  std::string text;
  for (const int code : kRedirectCodes) {
    const std::string prefix = "location ~ ^/redirect/" + std::to_string(code);
    const std::string answer = " return " + std::to_string(code) + " ";
    text += prefix + "/absolute(/.*)$ {" + answer + "$scheme://$host:$server_port$1; }\n";
    text += prefix + "/relative(/.*)$ { absolute_redirect off;" + answer + "$1; }\n";
  }
  const std::string plain = std::to_string(plainPort_), other = std::to_string(otherPort_);
  text += "location ~ /to-other-port(/.*)$ { return 302 http://127.0.0.1:" + other + "$1; }\n";
  text += "location ~ /to-other-host(/.*)$ { return 302 http://127.0.0.2:" + plain + "$1; }\n";
  text += "location ~ /to-plain-http(/.*)$ { return 302 http://localhost:" + plain + "$1; }\n";
  text += "location /private/ { auth_basic \"charts\"; auth_basic_user_file " +
          dir_.File("passwd") + "; }\n";
  text += "location /slow/ { limit_rate " + std::string(kSlowRate) + "; }\n";
  return text;
}

void TNginxServer::Put(const std::string& path, const std::string& bytes) const {
  PutServedFile(dir_.File("www"), path, bytes);
}

std::string TNginxServer::ErrorLog() const {
  return FileExists(dir_.File("error.log")) ? ReadWholeFile(dir_.File("error.log")) : "";
}
