#pragma once
// TCustomSocksWSocket: the socket layer that negotiates with a SOCKS 4, 4A or 5 server
// before a connection counts as made. With SocksServer empty (the default, and again after
// every close) every call reaches TCustomWSocket unchanged.

#include <array>
#include <cstdint>
#include <string>

#include "http/custom_wsocket.h"
#include "http/socks_protocol.h"

enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
// The values of OnSocksAuthState: started, succeeded, failed because the connection
// closed, not required by the server.
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

using TSocksErrorEvent =
    std::function<void(TCustomWSocket* Sender, int32_t Error, const std::string& Msg)>;
using TSocksAuthStateEvent = std::function<void(TCustomWSocket* Sender, TSocksAuthState AuthState)>;

class TCustomSocksWSocket : public TCustomWSocket {
 public:
  // Replies are read into a buffer of this size, at most one byte less in all.
  static constexpr size_t kSocksReplyBufferSize = 128;

  const std::string& SocksServer() const { return socksServer_; }
  virtual void SetSocksServer(const std::string& value);
  const std::string& SocksPort() const { return socksPort_; }
  virtual void SetSocksPort(const std::string& value);
  const std::string& SocksLevel() const { return socksLevel_; }
  void SetSocksLevel(const std::string& value);
  const std::string& SocksUsercode() const { return socksUsercode_; }
  void SetSocksUsercode(const std::string& value) { socksUsercode_ = value; }
  const std::string& SocksPassword() const { return socksPassword_; }
  void SetSocksPassword(const std::string& value) { socksPassword_ = value; }
  TSocksAuthentication SocksAuthentication() const { return socksAuthentication_; }
  void SetSocksAuthentication(TSocksAuthentication value) { socksAuthentication_ = value; }
  // Where a SOCKS 5 server bound the connection for us.
  const std::string& BoundAddr() const { return boundAddr_; }
  const std::string& BoundPort() const { return boundPort_; }

  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

  void Connect() override;
  void Listen() override;

 protected:
  // The steps of a negotiation.
  enum TSocksState { ssNone, ssMethodReply, ssAuthReply, ssConnectReply };

  virtual void TriggerSocksConnected(uint16_t Error);
  virtual void TriggerSocksError(int32_t Error, const std::string& Msg);
  void TriggerSocksAuthState(TSocksAuthState AuthState);

  void ResetToDefaults() override;
  bool TriggerDataAvailable(uint16_t Error) override;
  void TriggerSessionConnected(uint16_t Error) override;
  void TriggerSessionClosed(uint16_t Error) override;
  int DoRecv(void* buffer, int size, int flags) override;
  int32_t GetRcvdCount() override;

  bool Negotiating() const { return socksState_ != ssNone; }

 private:
  std::string socksServer_;
  std::string socksPort_;
  std::string socksLevel_ = "5";
  std::string socksUsercode_;
  std::string socksPassword_;
  TSocksAuthentication socksAuthentication_ = socksNoAuthentication;

  TSocksState socksState_ = ssNone;
  uint16_t targetPort_ = 0;  // host order: where the server is to connect us
  std::array<uint8_t, kSocksReplyBufferSize> reply_{};
  size_t replyCount_ = 0;
  // The data that came behind the connect reply, served before the socket's own.
  size_t leftoverPosition_ = 0;
  size_t leftoverCount_ = 0;
  std::string boundAddr_;
  std::string boundPort_;

  bool CheckClosedFor(const char* what);
  bool IsSocks4() const { return socksLevel_.front() == '4'; }
  bool ReadReply();
  void JudgeReply();
  void MethodChosen(uint8_t method);
  void SendSocksRequest(const std::string& request);
  void SendConnectRequest();
  void SendSocks4Request();
  void Granted(size_t replyLength);
  void SocksFailed(int32_t Error, const std::string& Msg);
};
