#include "http/tls_session.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <cstdlib>

#include "http/resolvers.h"
#include "http/socket_error_text.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

// Enough records for one socket read to take what a fast loopback or LAN delivers at once.
constexpr size_t kReadAheadBytes = 256 * 1024;

constexpr char kCertFileVariable[] = "SSL_CERT_FILE";
constexpr char kVerifyFailedText[] = "certificate verify failed: ";
constexpr char kHandshakeFailedText[] = "TLS handshake failed: ";
constexpr char kClosedText[] = "connection closed";

struct TSslCtxDeleter {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};

// The reason of the newest entry in this thread's OpenSSL error queue.
std::string QueuedReason() {
  const unsigned long error = ERR_peek_last_error();
  const char* reason = ERR_reason_error_string(error);
  return reason != nullptr ? reason
                           : "error " + IntToStr(static_cast<int64_t>(ERR_GET_REASON(error)));
}

[[noreturn]] void SetupFailed(const std::string& what) {
  throw ESocketException(kHandshakeFailedText + what + ": " + QueuedReason());
}

// A context per session: it reads SSL_CERT_FILE afresh, and a fetch makes one connection
// a few times an hour, where loading the trust store costs a millisecond or two.
std::unique_ptr<SSL_CTX, TSslCtxDeleter> NewClientContext() {
  std::unique_ptr<SSL_CTX, TSslCtxDeleter> ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx) SetupFailed("no TLS context");
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
  if (SSL_CTX_set_default_verify_paths(ctx.get()) != 1) SetupFailed("no trusted certificates");
  if (const char* file = std::getenv(kCertFileVariable); file != nullptr && *file != '\0') {
    // A missing file leaves the system's certificates: the handshake then says what failed.
    SSL_CTX_load_verify_locations(ctx.get(), file, nullptr);
  }
  ERR_clear_error();
  // A server that closes without the TLS close message ends the body as a plain close
  // does (HTTP/1.0 reads to the close); renegotiation is refused.
  SSL_CTX_set_options(ctx.get(), SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
  // Read the socket in large pieces rather than record by record.
  SSL_CTX_set_read_ahead(ctx.get(), 1);
  SSL_CTX_set_default_read_buffer_len(ctx.get(), kReadAheadBytes);
  return ctx;
}

void ExpectName(SSL* ssl, const std::string& serverName) {
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
  // An address is checked against the certificate's IP entries and never sent as SNI.
  if (IsDottedIP(serverName) || IPv6Literal(Trim(serverName))) {
    if (X509_VERIFY_PARAM_set1_ip_asc(param, Trim(serverName).c_str()) != 1)
      SetupFailed("bad server address");
    return;
  }
  X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  if (SSL_set_tlsext_host_name(ssl, serverName.c_str()) != 1 ||
      SSL_set1_host(ssl, serverName.c_str()) != 1)
    SetupFailed("bad server name");
}

}  // namespace

TSslPtr NewClientSession(const std::string& serverName, BIO* bio) {
  std::unique_ptr<BIO, decltype(&BIO_free)> owned(bio, &BIO_free);
  // Without a name nothing could be checked, and any certificate would do.
  if (serverName.empty())
    throw ESocketException(std::string(kHandshakeFailedText) + "no server name");
  ERR_clear_error();
  const auto ctx = NewClientContext();
  TSslPtr ssl(SSL_new(ctx.get()));
  if (!ssl) SetupFailed("no TLS session");
  SSL_set_bio(ssl.get(), owned.get(), owned.get());
  owned.release();
  ExpectName(ssl.get(), serverName);
  SSL_set_connect_state(ssl.get());
  return ssl;
}

std::string HandshakeFailureText(const SSL* ssl, int sslError, int socketError) {
  const long verify = SSL_get_verify_result(ssl);
  if (verify != X509_V_OK)
    return kVerifyFailedText + std::string(X509_verify_cert_error_string(verify));
  if (sslError == SSL_ERROR_SSL) return kHandshakeFailedText + QueuedReason();
  if (socketError != 0) return kHandshakeFailedText + SocketErrorWithCode(socketError);
  return std::string(kHandshakeFailedText) + kClosedText;
}
