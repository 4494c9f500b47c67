#include "tests/http/misbehaving_server.h"

#include "http/url_helpers.h"
#include "runtime/strings.h"

namespace {

constexpr char kHeaderEnd[] = "\r\n\r\n";
constexpr char kPortMark[] = "{PORT}";
constexpr uint32_t WM_PACE = WM_USER + 1;
constexpr char kSocks5Version = 5;
constexpr size_t kSocksGreeting = 3;  // version, one method, the method
// Version, granted, reserved, type 4 (IPv6), the address ::1 and port 80.
const std::string kGrantedFromIPv6 =
    std::string("\x05\x00\x00\x04", 4) + std::string(15, '\0') + std::string("\x01\x00\x50", 3);

std::string WithPort(std::string text, const std::string& port) {
  for (size_t at; (at = text.find(kPortMark)) != std::string::npos;)
    text.replace(at, sizeof kPortMark - 1, port);
  return text;
}

// The field's value in a request header, empty when it has none.
std::string FieldValue(const std::string& header, const std::string& name) {
  const size_t at = LowerCase(header).find("\r\n" + LowerCase(name) + ": ");
  if (at == std::string::npos) return "";
  const size_t start = at + name.size() + 4;
  return header.substr(start, header.find("\r\n", start) - start);
}

// The length of a SOCKS 5 connect request that starts text, 0 while it is incomplete.
size_t Socks5ConnectLength(const std::string& text) {
  constexpr size_t kFixed = 6;  // version, command, reserved, type, and the port
  if (text.size() < 5) return 0;
  const size_t address = text[3] == 1 ? 4 : text[3] == 4 ? 16 : 1 + static_cast<uint8_t>(text[4]);
  return text.size() >= kFixed + address ? kFixed + address : 0;
}

}  // namespace

struct TMisbehavingServer::TConnection {
  TCustomWSocket* socket = nullptr;
  uintptr_t id = 0;  // its pacing timer's
  std::string received;
  enum class TSocks { kNone, kGreeting, kConnect } socks = TSocks::kNone;
  bool answered = false;
  TMisbehaviour reply;
  int64_t repeated = 0;  // bytes of reply.repeat sent so far
};

TMisbehavingServer::TMisbehavingServer(std::map<std::string, TMisbehaviour> replies,
                                       const std::string& address)
    : replies_(std::move(replies)),
      address_(address),
      window_(MessageLoop::Current().AllocateHWnd([this](TMessage& message) {
        if (message.Msg == WM_PACE) Paced(message.WParam);
      })),
      server_([this](TCustomWSocket& socket) { Accepted(socket); }, address) {}

TMisbehavingServer::~TMisbehavingServer() {
  MessageLoop::Current().DeallocateHWnd(window_);
}

std::string TMisbehavingServer::URL(const std::string& path) const {
  return "http://" + UrlHost(address_) + ":" + Port() + path;
}

void TMisbehavingServer::Accepted(TCustomWSocket& socket) {
  auto connection = std::make_unique<TConnection>();
  TConnection& c = *connection;
  c.socket = &socket;
  c.id = connections_.size() + 1;
  connections_.push_back(std::move(connection));
  socket.OnError = [](TCustomWSocket*) {};  // a client gone away ends the sending quietly
  socket.OnDataAvailable = [this, &c](TCustomWSocket* sender, uint16_t) {
    char buffer[4096];
    const int count = sender->Receive(buffer, sizeof buffer);
    if (count <= 0) return;
    c.received.append(buffer, static_cast<size_t>(count));
    Received(c);
  };
  socket.OnDataSent = [this, &c](TCustomWSocket*, uint16_t) {
    if (c.answered && c.reply.paceMs == 0) SendMore(c);
  };
  socket.OnSessionClosed = [this, &c](TCustomWSocket*, uint16_t) {
    MessageLoop::Current().KillTimer(window_, c.id);
  };
}

void TMisbehavingServer::Received(TConnection& connection) {
  if (connection.answered || !Negotiated(connection)) return;
  const size_t end = connection.received.find(kHeaderEnd);
  if (end == std::string::npos) return;
  connection.answered = true;
  Answer(connection, connection.received.substr(0, end + 2));
}

// A SOCKS 5 negotiation, when the connection starts with one, is answered and taken off
// the received bytes; true once the HTTP request may follow.
bool TMisbehavingServer::Negotiated(TConnection& c) {
  using TSocks = TConnection::TSocks;
  if (c.socks == TSocks::kNone && c.received.front() == kSocks5Version) c.socks = TSocks::kGreeting;
  if (c.socks == TSocks::kGreeting && c.received.size() >= kSocksGreeting) {
    c.received.erase(0, kSocksGreeting);
    c.socket->SendStr(std::string("\x05\x00", 2));
    c.socks = TSocks::kConnect;
  }
  if (c.socks != TSocks::kConnect) return c.socks == TSocks::kNone;
  const size_t length = Socks5ConnectLength(c.received);
  if (length == 0) return false;
  c.received.erase(0, length);
  c.socket->SendStr(kGrantedFromIPv6);
  c.socks = TSocks::kNone;
  return !c.received.empty();
}

void TMisbehavingServer::Answer(TConnection& connection, const std::string& request) {
  const std::string line = request.substr(0, request.find("\r\n"));
  requests.push_back(line + " Host: " + FieldValue(request, "Host"));
  const size_t start = line.find(' ') + 1;
  const std::string target = line.substr(start, line.find(' ', start) - start);
  auto found = replies_.find(target);
  if (found == replies_.end()) found = replies_.find(target.substr(0, target.find('?')));
  if (found != replies_.end())
    connection.reply = found->second;
  else
    connection.reply.head = "HTTP/1.0 404 Not Found\r\n\r\nno such misbehaviour";
  connection.socket->SendStr(WithPort(connection.reply.head, Port()));
  if (connection.reply.paceMs != 0)
    MessageLoop::Current().SetTimer(window_, connection.id, WM_PACE, connection.reply.paceMs);
  else
    SendMore(connection);
}

// The next repeat, or the end of the reply once every repeat is out.
void TMisbehavingServer::SendMore(TConnection& connection) {
  TCustomWSocket& socket = *connection.socket;
  if (socket.State() != wsConnected) return;
  if (connection.repeated < connection.reply.repeatBytes) {
    socket.SendStr(connection.reply.repeat);
    connection.repeated += static_cast<int64_t>(connection.reply.repeat.size());
    return;
  }
  MessageLoop::Current().KillTimer(window_, connection.id);
  if (connection.reply.close) socket.CloseDelayed();
}

void TMisbehavingServer::Paced(uintptr_t id) {
  if (id >= 1 && id <= connections_.size()) SendMore(*connections_[id - 1]);
}
