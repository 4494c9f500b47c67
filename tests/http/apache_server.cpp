#include "tests/http/apache_server.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr char kHttpd[] = "/usr/sbin/apache2";
constexpr char kModules[] = "/usr/lib/apache2/modules/";
constexpr const char* kModuleNames[] = {"mpm_event", "authz_core", "dir", "alias", "rewrite"};

}  // namespace

TApacheServer::TApacheServer() : port_(FreeLoopbackPort()) {
  std::filesystem::create_directories(dir_.File("www"));
  // Readable by the unprivileged user httpd's children run as.
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
  std::filesystem::permissions(dir_.File("www"), std::filesystem::perms(0755));
  WriteConfiguration();
  if (!process_.Start({kHttpd, "-f", dir_.File("httpd.conf"), "-DFOREGROUND"}, port_))
    reason_ = "Apache httpd did not start: " +
              (FileExists(dir_.File("error.log")) ? ReadWholeFile(dir_.File("error.log")) : "");
}

void TApacheServer::WriteConfiguration() const {
  std::ofstream conf(dir_.File("httpd.conf"));
  for (const char* name : kModuleNames)
    conf << "LoadModule " << name << "_module " << kModules << "mod_" << name << ".so\n";
  // As root, httpd's children must run as some other user.
  if (::geteuid() == 0) conf << "User nobody\nGroup nogroup\n";
  conf << "ServerRoot " << dir_.Path() << "\nServerName 127.0.0.1\n"
       << "Listen 127.0.0.1:" << port_ << "\nPidFile " << dir_.File("httpd.pid") << "\n"
       << "DefaultRuntimeDir " << dir_.Path() << "\nErrorLog " << dir_.File("error.log") << "\n"
       << "LogFormat \"" << kApacheRecordFormat << "\" records\n"
       << "CustomLog " << dir_.File("access.log") << " records\n"
       << "UseCanonicalName Off\nDocumentRoot " << dir_.File("www") << "\n"
       << "<Directory " << dir_.File("www") << ">\n  Require all granted\n</Directory>\n"
       << "DirectoryIndex index.html\nRedirect 302 /alias/ /\nRewriteEngine on\n"
       << "RewriteRule ^/moved(/.*)$ http://%{HTTP_HOST}$1 [R=302,L]\n";
}

void TApacheServer::Put(const std::string& path, const std::string& bytes) const {
  PutServedFile(dir_.File("www"), path, bytes);
}
