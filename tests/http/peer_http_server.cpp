#include "tests/http/peer_http_server.h"

#include <filesystem>

TPeerHttpServer::TPeerHttpServer() : port_(FreeLoopbackPort()) {
  std::filesystem::create_directories(dir_.File("www"));
  // Readable by the unprivileged user a server's children run as.
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
  std::filesystem::permissions(dir_.File("www"), std::filesystem::perms(0755));
}

std::string TPeerHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TPeerHttpServer::Put(const std::string& path, const std::string& bytes) const {
  PutServedFile(dir_.File("www"), path, bytes);
}

void TPeerHttpServer::Start(const std::string& name, const std::vector<std::string>& command) {
  if (process_.Start(command, port_)) return;
  const std::string errors = dir_.File("error.log");
  reason_ = name + " did not start: " + (FileExists(errors) ? ReadWholeFile(errors) : "");
}
