// Drives THttpCli through whole requests against scripted bytes: a server on loopback, in
// this process and on its message loop, answers each connection with the next piece of the
// input and closes. Every connection reaches it whatever host and port a Location names:
// the client goes through it as a SOCKS 4A server (which is given names and resolves
// nothing), or as an HTTP proxy, plain or asked for a tunnel to an https URL. So the
// status line and header, their limits, the body's framing, Location legs, WWW-Authenticate,
// Content-Range and the proxy's reply to CONNECT all meet arbitrary bytes.
//
// Input: a settings byte (how the client goes, HEAD or GET, a body limit), then the reply
// of each connection in turn, separated by "|LEG|". Checks, beside the sanitizers: the
// request ends once, and an Error 0 after a header means the whole Content-Length arrived.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_cli.h"
#include "runtime/message_loop.h"

namespace {

constexpr std::string_view kLegSeparator = "|LEG|";
constexpr size_t kSocks4AGrant = 8;
constexpr char kTlsHandshakeRecord = 0x16;
constexpr int64_t kBodyLimits[] = {0, 16, 1000};
enum TRoute { rtSocks, rtProxy, rtTunnel, rtRouteCount };

void Check(bool condition) {
  if (!condition) abort();
}

// The server: each connection gets the next reply once its request (after a SOCKS 4A
// request, when it starts with one) is in, and is closed.
class TFuzzServer {
 public:
  TFuzzServer() {
    listener_.OnSessionAvailable = [this](TCustomWSocket*, uint16_t) { Accept(); };
    listener_.SetAddr("127.0.0.1");
    listener_.SetPort("0");
    listener_.SetProto("tcp");
    listener_.Listen();
    port_ = listener_.GetXPort();
  }
  const std::string& Port() const { return port_; }
  void Script(std::vector<std::string_view> replies) {
    replies_ = std::move(replies);
    next_ = 0;
    connections_.clear();
  }

 private:
  struct TConnection {
    TCustomWSocket socket;
    std::string received;
    bool granted = false;
    bool answered = false;
    std::string_view reply;
  };
  TCustomWSocket listener_;
  std::string port_;
  std::vector<std::string_view> replies_;
  size_t next_ = 0;
  std::vector<std::unique_ptr<TConnection>> connections_;

  void Accept() {
    auto connection = std::make_unique<TConnection>();
    TConnection& c = *connection;
    c.reply = next_ < replies_.size() ? replies_[next_++] : std::string_view();
    c.socket.SetLingerOnOff(wsLingerOff);
    c.socket.OnError = [](TCustomWSocket*) {};
    c.socket.OnDataAvailable = [this, &c](TCustomWSocket* sender, uint16_t) {
      char buffer[4096];
      const int count = sender->Receive(buffer, sizeof buffer);
      if (count > 0) c.received.append(buffer, static_cast<size_t>(count));
      Answer(c);
    };
    c.socket.Dup(listener_.Accept());
    connections_.push_back(std::move(connection));
  }

  void Answer(TConnection& c) {
    if (c.answered) return;
    // SOCKS 4A: version 4, command, port, 0.0.0.x, a user name and a host name, each ended
    // by a zero byte.
    if (!c.granted && !c.received.empty() && c.received[0] == 4) {
      const size_t user = c.received.find('\0', 8);
      const size_t host = user == std::string::npos ? user : c.received.find('\0', user + 1);
      if (host == std::string::npos) return;
      c.received.erase(0, host + 1);
      c.socket.Send(std::string("\0\x5a\0\0\0\0\0\0", kSocks4AGrant).data(), kSocks4AGrant);
      c.granted = true;
    }
    // A TLS hello (an https leg) is answered at once too: no handshake can follow.
    const bool hello = !c.received.empty() && c.received[0] == kTlsHandshakeRecord;
    if (!hello && c.received.find("\r\n\r\n") == std::string::npos) return;
    c.answered = true;
    c.socket.Send(c.reply.data(), static_cast<int>(c.reply.size()));
    c.socket.CloseDelayed();
  }
};

std::vector<std::string_view> Legs(std::string_view script) {
  std::vector<std::string_view> legs;
  for (size_t at; (at = script.find(kLegSeparator)) != std::string_view::npos;) {
    legs.push_back(script.substr(0, at));
    script.remove_prefix(at + kLegSeparator.size());
  }
  legs.push_back(script);
  return legs;
}

// A reply whose body must arrive whole: not a HEAD's, 204's or 304's, nor an error's, of
// which only what came with the header is kept. A reply without a status line counts.
bool FramedFinalBody(const THttpCli& client) {
  const int status = client.StatusCode();
  return client.RqType() == rqGet && client.ContentLength() >= 0 && status < 400 && status != 204 &&
         status != 304;
}

}  // namespace

// Allocation stacks of two frames: recording deeper ones cost a tenth of the time, and the
// place of a fault is still reported whole.
extern "C" const char* __asan_default_options() {
  return "malloc_context_size=2";
}

// No authority is trusted: no handshake with the scripted server can succeed anyway, and
// loading the system's store for every session would cost most of each run. Entropic
// scheduling is off: with the whole client linked in, its bookkeeping of features took
// more than half of the time.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("SSL_CERT_FILE", "/dev/null", 1);
  setenv("SSL_CERT_DIR", "/nonexistent", 1);
  static std::vector<char*> arguments(*argv, *argv + *argc);
  static char entropicOff[] = "-entropic=0";
  arguments.insert(arguments.begin() + 1, entropicOff);
  arguments.push_back(nullptr);
  *argc = static_cast<int>(arguments.size()) - 1;
  *argv = arguments.data();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static TFuzzServer server;
  // One client for every run, as the program keeps one for every request.
  static THttpCli client;
  const uint8_t settings = data[0];
  const std::string_view script(reinterpret_cast<const char*>(data) + 1, size - 1);
  server.Script(Legs(script));

  TMemoryStream body;
  client.RcvdStream = &body;
  client.Timeout = 1;  // a guard: the server answers and closes every connection
  client.MaxBodySize = kBodyLimits[(settings >> 3) % std::size(kBodyLimits)];
  const TRoute route = static_cast<TRoute>(settings % rtRouteCount);
  client.URL = route == rtTunnel ? "https://charts.test/dir/chart.gif?x=1"
                                 : "http://user:pw@charts.test:8080/dir/chart.gif?x=1";
  const bool socks = route == rtSocks;
  client.SetSocksServer(socks ? "127.0.0.1" : "");
  client.SetSocksPort(server.Port());
  client.SetSocksLevel("4A");
  client.Proxy = socks ? "" : "127.0.0.1";
  client.ProxyPort = server.Port();
  int done = 0;
  uint16_t error = 0;
  client.OnRequestDone = [&](THttpCli*, THttpRequest, uint16_t e) {
    ++done;
    error = e;
  };
  (settings & 4) != 0 ? client.Head() : client.Get();
  MessageLoop::Current().ProcessMessages();
  Check(done == 1);
  if (error == 0 && FramedFinalBody(client)) Check(client.RcvdBytes() == client.ContentLength());
  Check(client.RcvdBytes() == body.Size());
  if (client.MaxBodySize > 0) Check(body.Size() <= client.MaxBodySize);
  client.RcvdStream = nullptr;
  client.OnRequestDone = nullptr;
  return 0;
}
