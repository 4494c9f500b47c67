#include "http/ssl_wsocket.h"

#include <openssl/err.h>

#include "http/winsock.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr char kSslProtocol[] = "tcp";
constexpr char kBrokenRecordText[] = "TLS record failed: ";

}  // namespace

// The socket as OpenSSL's transport: records are read straight from the layer below and
// written into a buffer that is handed to the send queue once OpenSSL has returned, so that
// nothing OpenSSL calls can close the connection under it.
struct TSslSocketBio {
  static TCustomSslWSocket* Socket(BIO* bio) {
    return static_cast<TCustomSslWSocket*>(BIO_get_data(bio));
  }
  static int Write(BIO* bio, const char* data, int length) {
    Socket(bio)->WriteCipher(data, length);
    return length;
  }
  static int Read(BIO* bio, char* data, int length) {
    BIO_clear_retry_flags(bio);
    const int count = Socket(bio)->ReadCipher(data, length);
    if (count < 0 && Socket(bio)->cipherReadError_ == WSAEWOULDBLOCK) BIO_set_retry_read(bio);
    return count;
  }
  // OpenSSL asks whether the transport has ended (BIO_CTRL_EOF) before it decides how a
  // close without close_notify ends the records: answered 0, the close would be an error.
  static long Ctrl(BIO* bio, int cmd, long, void*) {
    if (cmd == BIO_CTRL_FLUSH) return 1;
    if (cmd == BIO_CTRL_EOF) return Socket(bio)->cipherEnded_ ? 1 : 0;
    return 0;
  }
  static int Create(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
  }
  static BIO* New(TCustomSslWSocket* socket) {
    static BIO_METHOD* const method = [] {
      BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "TWSocket");
      BIO_meth_set_write(m, Write);
      BIO_meth_set_read(m, Read);
      BIO_meth_set_ctrl(m, Ctrl);
      BIO_meth_set_create(m, Create);
      return m;
    }();
    BIO* bio = BIO_new(method);
    if (bio != nullptr) BIO_set_data(bio, socket);
    return bio;
  }
};

// Properties.

bool TCustomSslWSocket::CheckClosedFor(const char* what) {
  if (State() == wsClosed) return true;
  ReportError(std::string("Can't change ") + what + " if not closed");
  return false;
}

void TCustomSslWSocket::SetSslEnable(bool value) {
  if (CheckClosedFor("SslEnable")) sslEnable_ = value;
}

void TCustomSslWSocket::SetSslServerName(const std::string& value) {
  if (CheckClosedFor("SslServerName")) sslServerName_ = Trim(value);
}

void TCustomSslWSocket::ResetToDefaults() {
  TCustomSocksWSocket::ResetToDefaults();
  // Like a SOCKS server, TLS serves one connection: the next is plain unless set again.
  sslEnable_ = false;
  sslServerName_.clear();
  ssl_.reset();
  established_ = broken_ = peerClosed_ = cipherEnded_ = false;
  cipherOut_.clear();
  cipherReadError_ = 0;
}

// The handshake.

void TCustomSslWSocket::TriggerSessionConnected(uint16_t Error) {
  // A SOCKS negotiation comes first; its layer calls this again once it is through.
  if (!sslEnable_ || ssl_ || Error != 0 || Negotiating() || LowerCase(Proto()) != kSslProtocol) {
    TCustomSocksWSocket::TriggerSessionConnected(Error);
    return;
  }
  StartHandshake();
}

void TCustomSslWSocket::StartTlsOnConnection() {
  if (State() != wsConnected || ssl_) {
    ReportError("TLS can start only on an open plain connection");
    return;
  }
  sslEnable_ = true;
  StartHandshake();
}

void TCustomSslWSocket::StartHandshake() {
  sslErrorText_.clear();
  try {
    BIO* bio = TSslSocketBio::New(this);
    if (bio == nullptr) throw ESocketException("TLS handshake failed: no transport");
    ssl_ = NewClientSession(sslServerName_.empty() ? Addr() : sslServerName_, bio);
  } catch (const ESocketException& E) {
    HandshakeFailed(E.Message());
    return;
  }
  ContinueHandshake();
}

void TCustomSslWSocket::ContinueHandshake() {
  ERR_clear_error();
  cipherReadError_ = 0;
  const int result = SSL_do_handshake(ssl_.get());
  const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl_.get(), result);
  const bool waiting = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
  const std::string failure = result == 1 || waiting
                                  ? std::string()
                                  : HandshakeFailureText(ssl_.get(), error, cipherReadError_);
  // Our part of the handshake, or the alert that tells the server why we end it.
  if (!FlushCipher()) return;
  if (!failure.empty()) {
    HandshakeFailed(failure);
    return;
  }
  if (result != 1) return;
  established_ = true;
  TCustomSocksWSocket::TriggerSessionConnected(0);
}

void TCustomSslWSocket::HandshakeFailed(const std::string& text) {
  sslErrorText_ = text;
  TCustomSocksWSocket::TriggerSessionConnected(kSslError);
  Disconnect(true, kSslError);
}

// Hands the records OpenSSL made to the send queue. False when the connection was lost
// meanwhile (its close has been told).
bool TCustomSslWSocket::FlushCipher() {
  if (cipherOut_.empty()) return ssl_ != nullptr;
  std::string records;
  records.swap(cipherOut_);
  TCustomSocksWSocket::Send(records.data(), static_cast<int>(records.size()));
  return ssl_ != nullptr && State() == wsConnected;
}

void TCustomSslWSocket::TriggerDataSent(uint16_t Error) {
  // What went out during the handshake was ours, not the user's.
  if (ssl_ && !established_) return;
  TCustomSocksWSocket::TriggerDataSent(Error);
}

// Receiving.

bool TCustomSslWSocket::TriggerDataAvailable(uint16_t Error) {
  if (!ssl_) return TCustomSocksWSocket::TriggerDataAvailable(Error);
  if (!established_) {
    ContinueHandshake();
    return true;
  }
  const bool assigned = TCustomSocksWSocket::TriggerDataAvailable(Error);
  if (assigned) OfferPending();
  if (ssl_ && broken_) {
    Disconnect(true, kSslError);
  } else if (ssl_ && peerClosed_) {
    // A server may keep the TCP connection open after its close_notify (openssl s_server
    // does): the TLS close ends the data like a TCP close.
    Disconnect(true, 0);
  } else {
    FlushCipher();
  }
  return assigned;
}

// Text OpenSSL holds already (decrypted, or records read ahead) has no socket event to
// announce it: the handler is called while it takes some.
void TCustomSslWSocket::OfferPending() {
  while (ssl_ && !broken_ && State() == wsConnected && SSL_has_pending(ssl_.get())) {
    const int64_t before = plainReads_;
    if (!TCustomSocksWSocket::TriggerDataAvailable(0) || plainReads_ == before) return;
  }
}

// As many records as fit into the buffer: one call of the handler per read of the socket.
int TCustomSslWSocket::DoRecv(void* buffer, int size, int flags) {
  if (!ssl_ || size <= 0) return TCustomSocksWSocket::DoRecv(buffer, size, flags);
  int error = broken_ ? WSAECONNABORTED : WSAEWOULDBLOCK;
  size_t total = 0;
  while (established_ && !broken_ && total < static_cast<size_t>(size)) {
    ERR_clear_error();
    cipherReadError_ = 0;
    size_t count = 0;
    const int result = SSL_read_ex(ssl_.get(), static_cast<char*>(buffer) + total,
                                   static_cast<size_t>(size) - total, &count);
    if (result == 1) {
      total += count;
      ++plainReads_;
      continue;
    }
    const int sslError = SSL_get_error(ssl_.get(), result);
    if (sslError == SSL_ERROR_ZERO_RETURN) {
      peerClosed_ = true;
      error = 0;
    } else if (sslError != SSL_ERROR_WANT_READ) {
      broken_ = true;
      sslErrorText_ =
          kBrokenRecordText + HandshakeFailureText(ssl_.get(), sslError, cipherReadError_);
      error = cipherReadError_ != 0 ? cipherReadError_ : WSAECONNABORTED;
    }
    break;
  }
  if (total > 0) return static_cast<int>(total);
  if (error == 0) return 0;  // the server closed
  WSocket_WSASetLastError(error);
  return SOCKET_ERROR;
}

// An orderly close tells the server with our own close_notify; an abort does not.
void TCustomSslWSocket::Disconnect(bool Shut, uint16_t Error) {
  if (Shut && ssl_ && established_ && !broken_ && State() == wsConnected) {
    ERR_clear_error();
    SSL_shutdown(ssl_.get());
    FlushCipher();
  }
  TCustomSocksWSocket::Disconnect(Shut, Error);
}

int32_t TCustomSslWSocket::GetRcvdCount() {
  if (!ssl_) return TCustomSocksWSocket::GetRcvdCount();
  const int pending = SSL_pending(ssl_.get());
  if (pending > 0) return pending;
  return established_ ? TCustomSocksWSocket::GetRcvdCount() : 0;
}

int TCustomSslWSocket::ReadCipher(char* data, int length) {
  const int count = TCustomSocksWSocket::DoRecv(data, length, 0);
  if (count < 0) cipherReadError_ = WSocket_WSAGetLastError();
  if (count == 0) cipherEnded_ = true;
  return count;
}

void TCustomSslWSocket::WriteCipher(const char* data, int length) {
  cipherOut_.append(data, static_cast<size_t>(length));
}

// Sending.

int TCustomSslWSocket::Send(const void* data, int length) {
  if (!ssl_) return TCustomSocksWSocket::Send(data, length);
  if (!established_ || broken_ || State() != wsConnected) {
    WSocket_WSASetLastError(WSAENOTCONN);
    RaiseSocketError("Send");
    return SOCKET_ERROR;
  }
  if (length <= 0) return 0;
  ERR_clear_error();
  size_t written = 0;
  if (SSL_write_ex(ssl_.get(), data, static_cast<size_t>(length), &written) != 1) {
    broken_ = true;
    WSocket_WSASetLastError(WSAECONNABORTED);
    RaiseSocketError("Send");
    return SOCKET_ERROR;
  }
  FlushCipher();
  return length;
}
