#include "tests/http/lighttpd_server.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr char kLighttpd[] = "/usr/sbin/lighttpd";
constexpr int kRedirectCodes[] = {301, 302, 303, 307, 308};

}  // namespace

TLighttpdServer::TLighttpdServer() {
  // lighttpd opens its logs as the unprivileged user it switches to.
  std::filesystem::permissions(Dir().Path(), std::filesystem::perms::all);
  WriteConfiguration();
  Start("lighttpd", {kLighttpd, "-D", "-f", Dir().File("lighttpd.conf")});
}

void TLighttpdServer::WriteConfiguration() const {
  std::ofstream conf(Dir().File("lighttpd.conf"));
  conf << "server.document-root = \"" << Dir().File("www") << "\"\n"
       << "server.bind = \"127.0.0.1\"\nserver.port = " << Port() << "\n"
       << "server.pid-file = \"" << Dir().File("lighttpd.pid") << "\"\n"
       << "server.errorlog = \"" << Dir().File("error.log") << "\"\n"
       << "server.modules = (\"mod_redirect\", \"mod_accesslog\")\n"
       << "accesslog.filename = \"|/bin/cat >> " << Dir().File("access.log") << "\"\n"
       << "accesslog.format = \"%A:%p\\t%r\\t%>s\\t%{Host}i\\t%{Authorization}i\"\n";
  // As root, lighttpd must serve as some other user.
  if (::geteuid() == 0) conf << "server.username = \"nobody\"\nserver.groupname = \"nogroup\"\n";
  for (const int code : kRedirectCodes) {
    conf << "$HTTP[\"url\"] =~ \"^/redirect/" << code << "/\" {\n  url.redirect-code = " << code
         << "\n  url.redirect = (\"^/redirect/" << code
         << "/relative(/.*)$\" => \"$1\", \"^/redirect/" << code << "/absolute(/.*)$\" => \""
         << Url("") << "$1\")\n}\n";
  }
  conf << "$HTTP[\"url\"] =~ \"^/(deep|query|blank)/\" {\n  url.redirect-code = 302\n"
       << "  url.redirect = (\"^/deep/down/([^/]*)$\" => \"../../files/$1\", "
       << "\"^/query/[^?]*$\" => \"?v=2\", "
       << "\"^/blank/(.*)$\" => \"/$1 with a blank.gif\")\n}\n";
}
