#pragma once
// A small HTTP/1.0 server on 127.0.0.1 in a thread of its own, for tests of the programs
// that download: each path answers with a scripted status and body, then the connection
// closes. Unknown paths answer 404 with a short HTML body. It runs until destroyed. Made
// with a certificate it speaks HTTPS (with OpenSSL), as the host "localhost".

#include <openssl/types.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/test_certificates.h"

class THttpFileServer {
 public:
  THttpFileServer();
  explicit THttpFileServer(const TCertificateFiles& identity);
  ~THttpFileServer();
  THttpFileServer(const THttpFileServer&) = delete;
  THttpFileServer& operator=(const THttpFileServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path, or "https://localhost:PORT" + path.
  std::string Url(const std::string& path) const;

  void Serve(const std::string& path, std::string body, int status = 200,
             std::string contentType = "application/octet-stream");
  // Answers the path with a redirection (301, 302, 307 or 308) to location.
  void Redirect(const std::string& path, std::string location, int status = 301);
  // Adds a header line ("Last-Modified: ...") to the path's reply, once it is served.
  void AddHeader(const std::string& path, const std::string& line);
  // How many requests for the path have arrived so far.
  int Requests(const std::string& path) const;
  // Requests for the path wait for Release before they are answered (one at a time:
  // the server answers nothing else meanwhile).
  void Hold(const std::string& path);
  void Release();

 private:
  struct TReply {
    int status = 200;
    std::string body;
    std::string contentType;
    std::string headers;  // Location and further lines, each with its CR LF
  };
  void Listen();
  void Run();
  void Answer(class TConnection& connection);
  std::string Reply(const std::string& path);

  std::shared_ptr<SSL_CTX> tls_;  // null: plain HTTP
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, TReply> replies_;
  std::map<std::string, int> requests_;
  std::string held_;
  std::condition_variable released_;
  std::thread thread_;
};
