#include "tests/http/scripted_http_server.h"

#include "runtime/strings.h"

namespace {

constexpr char kHeaderEnd[] = "\r\n\r\n";
constexpr char kPortMark[] = "{PORT}";

// True once text holds a whole request: the header and as many body bytes as it names.
bool RequestComplete(const std::string& text) {
  const size_t end = text.find(kHeaderEnd);
  if (end == std::string::npos) return false;
  const std::string header = LowerCase(text.substr(0, end));
  const size_t field = header.find("content-length: ");
  if (field == std::string::npos) return true;
  const size_t length = std::stoul(header.substr(field + 16));
  return text.size() >= end + 4 + length;
}

}  // namespace

TScriptedHttpServer::TScriptedHttpServer(std::vector<TScriptedReply> replies,
                                         const std::string& address, const std::string& port)
    : address_(address),
      replies_(std::move(replies)),
      server_([this](TCustomWSocket& connection) { Accepted(connection); }, address, port) {}

void TScriptedHttpServer::Accepted(TCustomWSocket& connection) {
  const size_t index = requests.size();
  requests.emplace_back();
  const TScriptedReply reply = replies_[std::min(index, replies_.size() - 1)];
  connection.OnDataAvailable = [this, index, reply, answered = false](TCustomWSocket* sender,
                                                                      uint16_t) mutable {
    char buffer[4096];
    const int count = sender->Receive(buffer, sizeof buffer);
    if (count > 0) requests[index].append(buffer, count);
    if (answered || !reply.answer || !RequestComplete(requests[index])) return;
    answered = true;
    std::string bytes = reply.bytes;
    for (size_t at; (at = bytes.find(kPortMark)) != std::string::npos;)
      bytes.replace(at, sizeof kPortMark - 1, Port());
    sender->SendStr(bytes);
    if (reply.close) sender->CloseDelayed();
  };
}

std::string HttpReply(const std::string& status, const std::vector<std::string>& headers,
                      const std::string& body) {
  std::string text = "HTTP/1.0 " + status + "\r\n";
  for (const std::string& header : headers) text += header + "\r\n";
  return text + "\r\n" + body;
}
