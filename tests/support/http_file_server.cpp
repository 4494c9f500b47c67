#include "tests/support/http_file_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace {

constexpr int kPollMilliseconds = 50;

std::string ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 500:
      return "Internal Server Error";
    default:
      return "Not Found";
  }
}

std::string RequestPath(const std::string& request) {
  const size_t start = request.find(' ');
  if (start == std::string::npos) return {};
  const size_t end = request.find(' ', start + 1);
  return request.substr(start + 1, end == std::string::npos ? end : end - start - 1);
}

// A TLS peer that stalls must not hold the server's one thread (and the test) for ever.
constexpr timeval kTlsGuard{10, 0};

std::shared_ptr<SSL_CTX> TlsServerContext(const TCertificateFiles& identity) {
  // A client that gives up mid-reply must not end the test process.
  std::signal(SIGPIPE, SIG_IGN);
  std::shared_ptr<SSL_CTX> ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx.get(), identity.Certificate.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx.get(), identity.Key.c_str(), SSL_FILETYPE_PEM) != 1)
    throw std::runtime_error("test HTTPS server cannot load " + identity.Certificate);
  return ctx;
}

}  // namespace

// One accepted connection, plain or over TLS.
class TConnection {
 public:
  virtual ~TConnection() = default;
  virtual ssize_t Read(char* buffer, size_t size) = 0;
  virtual void Write(const std::string& data) = 0;
};

namespace {

class TPlainConnection : public TConnection {
 public:
  explicit TPlainConnection(int socket) : socket_(socket) {}
  ssize_t Read(char* buffer, size_t size) override { return ::recv(socket_, buffer, size, 0); }
  void Write(const std::string& data) override {
    size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t n = ::send(socket_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

 private:
  int socket_;
};

class TTlsConnection : public TConnection {
 public:
  TTlsConnection(SSL_CTX* ctx, int socket) : ssl_(SSL_new(ctx)) {
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &kTlsGuard, sizeof kTlsGuard);
    SSL_set_fd(ssl_, socket);
    accepted_ = SSL_accept(ssl_) == 1;
  }
  ~TTlsConnection() override {
    if (accepted_) SSL_shutdown(ssl_);
    SSL_free(ssl_);
  }
  bool Accepted() const { return accepted_; }
  ssize_t Read(char* buffer, size_t size) override {
    size_t count = 0;
    return SSL_read_ex(ssl_, buffer, size, &count) == 1 ? static_cast<ssize_t>(count) : -1;
  }
  void Write(const std::string& data) override {
    size_t written = 0;
    SSL_write_ex(ssl_, data.data(), data.size(), &written);
  }

 private:
  SSL* ssl_;
  bool accepted_ = false;
};

}  // namespace

THttpFileServer::THttpFileServer() {
  Listen();
}

THttpFileServer::THttpFileServer(const TCertificateFiles& identity)
    : tls_(TlsServerContext(identity)) {
  Listen();
}

void THttpFileServer::Listen() {
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
  return (tls_ ? "https://localhost:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

void THttpFileServer::Serve(const std::string& path, std::string body, int status,
                            std::string contentType) {
  const std::lock_guard lock(mutex_);
  replies_[path] = {status, std::move(body), std::move(contentType), {}};
}

void THttpFileServer::Redirect(const std::string& path, std::string location, int status) {
  const std::lock_guard lock(mutex_);
  replies_[path] = {status, {}, "text/html", "Location: " + location + "\r\n"};
}

void THttpFileServer::AddHeader(const std::string& path, const std::string& line) {
  const std::lock_guard lock(mutex_);
  replies_[path].headers += line + "\r\n";
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
    const int socket = ::accept(listener_, nullptr, nullptr);
    if (socket < 0) continue;
    if (tls_) {
      TTlsConnection connection(tls_.get(), socket);
      if (connection.Accepted()) Answer(connection);
    } else {
      TPlainConnection connection(socket);
      Answer(connection);
    }
    ::close(socket);
  }
}

void THttpFileServer::Answer(TConnection& connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = connection.Read(buffer, sizeof buffer);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  connection.Write(Reply(RequestPath(request)));
}

std::string THttpFileServer::Reply(const std::string& path) {
  std::unique_lock lock(mutex_);
  ++requests_[path];
  released_.wait(lock, [&] { return held_ != path; });
  const auto found = replies_.find(path);
  const TReply reply = found == replies_.end()
                           ? TReply{404, "<HTML><BODY>Not found</BODY></HTML>", "text/html", {}}
                           : found->second;
  return "HTTP/1.0 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) +
         "\r\nContent-Type: " + reply.contentType + "\r\n" + reply.headers +
         "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
}
