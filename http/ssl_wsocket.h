#pragma once
// TCustomSslWSocket: TLS on the connection, for https. With SslEnable off (the default,
// and again after every close) every call reaches the layer below unchanged. With it on,
// a connection once made (straight, or through a SOCKS server) is secured first: the
// handshake runs on the socket's own read events, OnSessionConnected is held back until
// the server has proved who it is, and Send and Receive then carry plain text through the
// TLS records. A failed handshake fires OnSessionConnected with kSslError and closes the
// connection; SslErrorText says what failed.

#include <cstdint>
#include <string>

#include "http/socks_wsocket.h"
#include "http/tls_session.h"

// The error of a connection whose TLS handshake or records failed.
constexpr int kSslError = 20020;

class TCustomSslWSocket : public TCustomSocksWSocket {
 public:
  bool SslEnable() const { return sslEnable_; }
  void SetSslEnable(bool value);
  // The name the server's certificate must carry (and the SNI); empty: Addr.
  const std::string& SslServerName() const { return sslServerName_; }
  void SetSslServerName(const std::string& value);
  // What made the last TLS connection fail.
  const std::string& SslErrorText() const { return sslErrorText_; }
  // True once the handshake has succeeded, until the close.
  bool SslEstablished() const { return ssl_ != nullptr && established_; }

  // Secures the plain connection that is open now, as after an HTTP proxy has opened a
  // tunnel: the handshake runs as with SslEnable, and OnSessionConnected fires again once
  // the server has proved who it is (with kSslError when that failed).
  void StartTlsOnConnection();

  int Send(const void* data, int length) override;

 protected:
  void ResetToDefaults() override;
  bool TriggerDataAvailable(uint16_t Error) override;
  void TriggerSessionConnected(uint16_t Error) override;
  void TriggerDataSent(uint16_t Error) override;
  int DoRecv(void* buffer, int size, int flags) override;
  int32_t GetRcvdCount() override;
  void Disconnect(bool Shut, uint16_t Error) override;

  bool SslHandshaking() const { return ssl_ != nullptr && !established_; }

 private:
  friend struct TSslSocketBio;

  bool sslEnable_ = false;
  std::string sslServerName_;
  std::string sslErrorText_;

  TSslPtr ssl_;
  bool established_ = false;
  bool broken_ = false;       // a record failed: the connection is closed at the next event
  bool peerClosed_ = false;   // the server's close_notify came: the body has ended
  std::string cipherOut_;     // records made by OpenSSL, not yet handed to the socket
  int cipherReadError_ = 0;   // the socket error of the last read of records
  bool cipherEnded_ = false;  // the server closed the TCP connection
  int64_t plainReads_ = 0;    // successful reads of plain text, to see progress

  bool CheckClosedFor(const char* what);
  void StartHandshake();
  void ContinueHandshake();
  void HandshakeFailed(const std::string& text);
  bool FlushCipher();
  void OfferPending();
  int ReadCipher(char* data, int length);
  void WriteCipher(const char* data, int length);
};
