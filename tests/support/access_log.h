#pragma once
// What a peer server says it received, read from the access log it writes for the test:
// one line per request, its fields cut at tabs.

#include <string>
#include <vector>

// nginx and Apache httpd log these fields of each request, in this order; a header that
// did not come is "-".
struct TRequestRecord {
  std::string Server;   // the address and port that took the connection
  std::string Request;  // "GET /path HTTP/1.0"
  std::string Status;
  std::string Host;           // the Host header as sent
  std::string Authorization;  // the Authorization header as sent
};

// The log formats of nginx and Apache httpd that give those fields.
constexpr char kNginxRecordFormat[] =
    "$server_addr:$server_port\\t$request\\t$status\\t$http_host\\t$http_authorization";
constexpr char kApacheRecordFormat[] = "%A:%{local}p\\t%r\\t%>s\\t%{Host}i\\t%{Authorization}i";

// The lines of the log, waiting (on the file's changes) until at least count are there;
// fewer only when the guard runs out, which the caller's comparison then shows.
std::vector<std::vector<std::string>> AwaitLogLines(const std::string& fileName, size_t count);

// The log of a server in one of the formats above, read piece by piece as a test goes.
class TAccessLog {
 public:
  explicit TAccessLog(std::string fileName) : fileName_(std::move(fileName)) {}
  // The records of the requests that came since the last call, once at least count have.
  std::vector<TRequestRecord> Next(size_t count);

 private:
  std::string fileName_;
  size_t seen_ = 0;
};
