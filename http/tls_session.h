#pragma once
// The OpenSSL side of the TLS layer: a client session that accepts TLS 1.2 or newer and
// only a server whose certificate chains to a trusted one (the system's, and those in the
// file named by SSL_CERT_FILE) and names the host asked for; and the texts of failures.

#include <openssl/ssl.h>

#include <memory>
#include <string>

struct TSslDeleter {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using TSslPtr = std::unique_ptr<SSL, TSslDeleter>;

// A client session that verifies serverName (a host name, also sent as SNI, or a dotted
// address) and reads and writes through bio, which it then owns. Raises ESocketException
// with a text that says what is missing when no session can be made.
TSslPtr NewClientSession(const std::string& serverName, BIO* bio);

// What ended a handshake, from the result of SSL_get_error and, for a failed read or write
// of the socket, its Windows Sockets error (0 for a close), for example
// "certificate verify failed: certificate has expired".
std::string HandshakeFailureText(const SSL* ssl, int sslError, int socketError);
