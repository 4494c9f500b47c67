#pragma once
// Pieces of the HTTP download benchmarks: a loopback server that streams a generated body
// of any size from a thread of its own, a child-process runner that measures wall time and
// the child's peak memory, and the comparison of downloaded files. Both this project's
// isoview-fetch and its peer run as child processes against the same server, so they are
// measured alike.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace http_bench {

constexpr int64_t kMiB = 1024 * 1024;
// The body repeats a block of random bytes: cheap to serve at any size, yet no run of
// equal bytes that a wrong offset could hide in.
constexpr size_t kPatternSize = kMiB + 7;
constexpr size_t kRequestLimit = 8192;
constexpr int kStopPollMs = 100;

inline const std::vector<char>& Pattern() {
  static const std::vector<char> pattern = [] {
    std::vector<char> bytes(kPatternSize);
    std::mt19937 random(2026);
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
  }();
  return pattern;
}

// Writes size bytes of the body through write (false: the peer went away).
inline bool SendBody(int64_t size, const std::function<bool(const char*, size_t)>& write) {
  const std::vector<char>& pattern = Pattern();
  for (int64_t sent = 0; sent < size;) {
    const size_t at = static_cast<size_t>(sent % kPatternSize);
    const size_t piece = static_cast<size_t>(std::min<int64_t>(size - sent, kPatternSize - at));
    if (!write(pattern.data() + at, piece)) return false;
    sent += static_cast<int64_t>(piece);
  }
  return true;
}

inline std::string ReplyHeader(int64_t size) {
  return "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
         std::to_string(size) + "\r\n\r\n";
}

inline bool SendAll(int fd, const char* bytes, size_t count) {
  while (count > 0) {
    const ssize_t sent = ::send(fd, bytes, count, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes += sent;
    count -= static_cast<size_t>(sent);
  }
  return true;
}

// Reads the request header (up to its blank line) of a plain connection.
inline void ReadRequest(int fd) {
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kRequestLimit) {
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) return;
    request.append(buffer, static_cast<size_t>(count));
  }
}

// An HTTP/1.0 server on 127.0.0.1 that answers every request, one connection at a time,
// with a body of the given size and then closes. Handler serves one accepted connection;
// the default one is plain HTTP.
class TBodyServer {
 public:
  using THandler = std::function<void(int fd, int64_t size)>;

  static void ServePlain(int fd, int64_t size) {
    ReadRequest(fd);
    const std::string header = ReplyHeader(size);
    if (!SendAll(fd, header.data(), header.size())) return;
    SendBody(size, [fd](const char* bytes, size_t count) { return SendAll(fd, bytes, count); });
  }

  explicit TBodyServer(int64_t size, THandler handler = ServePlain)
      : size_(size), handler_(std::move(handler)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~TBodyServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }
  TBodyServer(const TBodyServer&) = delete;
  TBodyServer& operator=(const TBodyServer&) = delete;

  void SetSize(int64_t size) { size_ = size; }
  std::string Url(const std::string& scheme = "http") const {
    return scheme + "://127.0.0.1:" + std::to_string(port_) + "/body.bin";
  }

 private:
  void Run() {
    while (!stopping_) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, kStopPollMs) <= 0) continue;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      handler_(fd, size_);
      ::close(fd);
    }
  }

  std::atomic<int64_t> size_;
  THandler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

struct TChildRun {
  double seconds = 0;
  double processorSeconds = 0;  // the child's user and system time
  long peakKiB = 0;             // the child's largest resident set
  bool succeeded = false;
};

inline double Seconds(const timeval& time) {
  return time.tv_sec + time.tv_usec / 1e6;
}

// Runs a program with its standard output sent to outputFile (and its errors shown), and
// measures it from fork to exit.
inline TChildRun RunChild(const std::vector<std::string>& argv, const std::string& outputFile) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  TChildRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) ::dup2(out, STDOUT_FILENO);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.processorSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.peakKiB = usage.ru_maxrss;
  run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

// True when the file holds exactly size bytes of the served body.
inline bool HoldsBody(const std::string& fileName, int64_t size) {
  std::ifstream file(fileName, std::ios::binary);
  std::vector<char> buffer(kPatternSize);
  bool same = true;
  SendBody(size, [&](const char* bytes, size_t count) {
    file.read(buffer.data(), static_cast<std::streamsize>(count));
    same = same && file.gcount() == static_cast<std::streamsize>(count) &&
           std::equal(bytes, bytes + count, buffer.data());
    return same;
  });
  return same && file.peek() == std::char_traits<char>::eof();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A program built next to this benchmark (build/bin).
inline std::string SiblingProgram(const std::string& name) {
  std::vector<char> path(4096);
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  const std::string self(path.data(), length > 0 ? static_cast<size_t>(length) : 0);
  return self.substr(0, self.rfind('/') + 1) + name;
}

}  // namespace http_bench
