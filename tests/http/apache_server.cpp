#include "tests/http/apache_server.h"

#include <unistd.h>

#include <fstream>

namespace {

constexpr char kHttpd[] = "/usr/sbin/apache2";
constexpr char kModules[] = "/usr/lib/apache2/modules/";
constexpr const char* kModuleNames[] = {"mpm_event", "authz_core", "dir", "alias", "rewrite"};

}  // namespace

TApacheServer::TApacheServer() {
  WriteConfiguration();
  Start("Apache httpd", {kHttpd, "-f", Dir().File("httpd.conf"), "-DFOREGROUND"});
}

void TApacheServer::WriteConfiguration() const {
  std::ofstream conf(Dir().File("httpd.conf"));
  for (const char* name : kModuleNames)
    conf << "LoadModule " << name << "_module " << kModules << "mod_" << name << ".so\n";
  // As root, httpd's children must run as some other user.
  if (::geteuid() == 0) conf << "User nobody\nGroup nogroup\n";
  conf << "ServerRoot " << Dir().Path() << "\nServerName 127.0.0.1\n"
       << "Listen 127.0.0.1:" << Port() << "\nPidFile " << Dir().File("httpd.pid") << "\n"
       << "DefaultRuntimeDir " << Dir().Path() << "\nErrorLog " << Dir().File("error.log") << "\n"
       << "LogFormat \"" << kApacheRecordFormat << "\" records\n"
       << "CustomLog " << Dir().File("access.log") << " records\n"
       << "UseCanonicalName Off\nDocumentRoot " << Dir().File("www") << "\n"
       << "<Directory " << Dir().File("www") << ">\n  Require all granted\n</Directory>\n"
       << "DirectoryIndex index.html\nRedirect 302 /alias/ /\nRewriteEngine on\n"
       << "RewriteRule ^/moved(/.*)$ http://%{HTTP_HOST}$1 [R=302,L]\n";
}
