#pragma once
// An HTTP server on loopback (127.0.0.1 unless another address is given) that answers each
// connection, in the order they come, with the next scripted reply once the request (header and any
// Content-Length body) is in.

#include <string>
#include <vector>

#include "http/url_helpers.h"
#include "tests/http/loopback_server.h"

struct TScriptedReply {
  std::string bytes;   // "{PORT}" stands for the server's port
  bool close = true;   // false: the server keeps the connection open after the reply
  bool answer = true;  // false: the server never answers
};

class TScriptedHttpServer {
 public:
  // Connections beyond the script get its last reply.
  explicit TScriptedHttpServer(std::vector<TScriptedReply> replies,
                               const std::string& address = "127.0.0.1",
                               const std::string& port = "0");

  const std::string& Port() const { return server_.Port(); }
  std::string URL(const std::string& path) const {
    return "http://" + UrlHost(address_) + ":" + Port() + path;
  }
  // The bytes each connection received, in the order of the connections.
  std::vector<std::string> requests;

 private:
  std::string address_;
  std::vector<TScriptedReply> replies_;
  TLoopbackServer server_;

  void Accepted(TCustomWSocket& connection);
};

// "HTTP/1.0 <status>" + CR LF, each header line + CR LF, a blank line, the body.
std::string HttpReply(const std::string& status, const std::vector<std::string>& headers,
                      const std::string& body);
