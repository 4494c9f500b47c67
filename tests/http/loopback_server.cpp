#include "tests/http/loopback_server.h"

TLoopbackServer::TLoopbackServer(TAccepted accepted, const std::string& address,
                                 const std::string& port)
    : accepted_(std::move(accepted)) {
  listener_.OnSessionAvailable = [this](TCustomWSocket*, uint16_t) {
    auto connection = std::make_unique<TCustomWSocket>();
    // A graceful close, so that a test's client sees all the data and then the end.
    connection->SetLingerOnOff(wsLingerOff);
    if (accepted_) accepted_(*connection);
    connection->Dup(listener_.Accept());
    connections_.push_back(std::move(connection));
  };
  listener_.SetAddr(address);
  listener_.SetPort(port);
  listener_.SetProto("tcp");
  listener_.Listen();
  port_ = listener_.GetXPort();
}

const char* StateName(TSocketState state) {
  static const char* const names[] = {"wsInvalidState", "wsOpened",    "wsBound",
                                      "wsConnecting",   "wsConnected", "wsAccepting",
                                      "wsListening",    "wsClosed"};
  return names[state];
}

TEventRecorder::TEventRecorder(TCustomWSocket& socket) {
  socket.OnChangeState = [this](TCustomWSocket*, TSocketState from, TSocketState to) {
    events.push_back(std::string("ChangeState(") + StateName(from) + "," + StateName(to) + ")");
  };
  socket.OnSessionConnected = [this](TCustomWSocket*, uint16_t error) {
    Record("SessionConnected", error);
  };
  socket.OnSessionClosed = [this](TCustomWSocket*, uint16_t error) {
    Record("SessionClosed", error);
  };
  socket.OnDataSent = [this](TCustomWSocket*, uint16_t error) { Record("DataSent", error); };
  socket.OnSendData = [this](TCustomWSocket*, int32_t sent) { Record("SendData", sent); };
  socket.OnDnsLookupDone = [this](TCustomWSocket*, uint16_t error) {
    Record("DnsLookupDone", error);
  };
  socket.OnDataAvailable = [this](TCustomWSocket* sender, uint16_t error) {
    Record("DataAvailable", error);
    if (reader) reader(*sender);
  };
}
