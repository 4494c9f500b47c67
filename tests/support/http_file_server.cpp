#include "tests/support/http_file_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

constexpr int kPollMilliseconds = 50;

std::string RequestPath(const std::string& request) {
  const size_t start = request.find(' ');
  if (start == std::string::npos) return {};
  const size_t end = request.find(' ', start + 1);
  return request.substr(start + 1, end == std::string::npos ? end : end - start - 1);
}

void WriteAll(int connection, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

}  // namespace

THttpFileServer::THttpFileServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("test HTTP server cannot listen");
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

THttpFileServer::~THttpFileServer() {
  stopping_ = true;
  Release();
  thread_.join();
  ::close(listener_);
}

std::string THttpFileServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void THttpFileServer::Serve(const std::string& path, std::string body, int status) {
  const std::lock_guard lock(mutex_);
  replies_[path] = {status, std::move(body)};
}

int THttpFileServer::Requests(const std::string& path) const {
  const std::lock_guard lock(mutex_);
  const auto found = requests_.find(path);
  return found == requests_.end() ? 0 : found->second;
}

void THttpFileServer::Hold(const std::string& path) {
  const std::lock_guard lock(mutex_);
  held_ = path;
}

void THttpFileServer::Release() {
  const std::lock_guard lock(mutex_);
  held_.clear();
  released_.notify_all();
}

void THttpFileServer::Run() {
  while (!stopping_) {
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, kPollMilliseconds) <= 0) continue;
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    Answer(connection);
    ::close(connection);
  }
}

void THttpFileServer::Answer(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  WriteAll(connection, Reply(RequestPath(request)));
}

std::string THttpFileServer::Reply(const std::string& path) {
  std::unique_lock lock(mutex_);
  ++requests_[path];
  released_.wait(lock, [&] { return held_ != path; });
  const auto found = replies_.find(path);
  const TReply reply =
      found == replies_.end() ? TReply{404, "<HTML><BODY>Not found</BODY></HTML>"} : found->second;
  const std::string reason = reply.status == 200 ? "OK" : "Not Found";
  return "HTTP/1.0 " + std::to_string(reply.status) + " " + reason +
         "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
         std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
}
