// Feeds an arbitrary server reply to THttpCli through a loopback connection: a server made
// of the socket component answers every connection with the input and closes. The client
// goes through the server as its proxy, so that every Location leg comes back here too.
// Checks: the request ends, OnRequestDone runs exactly once, and the stream holds exactly
// the bytes counted as received.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "http/http_cli.h"
#include "runtime/stream.h"

namespace {

class TReplyServer {
 public:
  TReplyServer() {
    listener_.OnSessionAvailable = [this](TCustomWSocket*, uint16_t) { Accept(); };
    listener_.SetAddr("127.0.0.1");
    listener_.SetPort("0");
    listener_.SetProto("tcp");
    listener_.Listen();
    port_ = listener_.GetXPort();
  }
  const std::string& Port() const { return port_; }
  std::string reply;

 private:
  void Accept() {
    auto connection = std::make_unique<TCustomWSocket>();
    connection->SetLingerOnOff(wsLingerOff);
    connection->OnDataAvailable = [this](TCustomWSocket* sender, uint16_t) {
      char buffer[4096];
      if (sender->Receive(buffer, sizeof buffer) <= 0 || sender->State() != wsConnected) return;
      sender->SendStr(reply);
      sender->CloseDelayed();
      sender->OnDataAvailable = nullptr;
    };
    connection->Dup(listener_.Accept());
    // Closed connections are dropped at the next accept; the live ones stay.
    std::erase_if(connections_, [](const auto& c) { return c->State() == wsClosed; });
    connections_.push_back(std::move(connection));
  }

  TCustomWSocket listener_;
  std::string port_;
  std::vector<std::unique_ptr<TCustomWSocket>> connections_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Thread-local, so that it is made after the thread's message loop and ends before it:
  // its sockets still need the loop when they close at exit.
  static thread_local TReplyServer server;
  server.reply.assign(reinterpret_cast<const char*>(data), size);
  THttpCli client;
  client.Proxy = "127.0.0.1";
  client.ProxyPort = server.Port();
  TMemoryStream body;
  client.RcvdStream = &body;
  int done = 0;
  client.OnRequestDone = [&](THttpCli*, THttpRequest, uint16_t) { ++done; };
  client.URL = "http://fuzz.example/a.gif";
  client.Get();
  if (done != 1 || client.State() != hsReady) abort();
  if (body.Size() != client.RcvdBytes()) abort();
  return 0;
}
