// A TLS server that closes the TCP connection without a close_notify, as many servers and
// their load balancers do: a few lines of Python's ssl that close the socket without
// unwrap() (openssl s_server always says close_notify, so it cannot show this). After the
// whole body (its Content-Length reached, or no Content-Length: read to the close) that is
// a success, as curl and browsers take it; inside a Content-Length body it stays a short
// body. Over TLS 1.2 and 1.3.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "http/http_cli.h"
#include "runtime/text_file.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace {

// Serves the replies by path, then closes without unwrap(): no close_notify goes out.
constexpr char kServer[] = R"(import socket, ssl, sys
port, certificate, key, version = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
replies = {
    '/length': b'HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nchart',
    '/to-the-close': b'HTTP/1.0 200 OK\r\n\r\nchart',
    '/cut': b'HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nchart',
}
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(certificate, key)
context.minimum_version = context.maximum_version = getattr(ssl.TLSVersion, version)
listener = socket.create_server(('127.0.0.1', port))
while True:
    connection, _ = listener.accept()
    try:
        tls = context.wrap_socket(connection, server_side=True)
        request = b''
        while b'\r\n\r\n' not in request:
            piece = tls.recv(4096)
            if not piece:
                break
            request += piece
        path = request.split(b' ')[1].decode() if b' ' in request else ''
        tls.sendall(replies.get(path, b'HTTP/1.0 404 Not Found\r\n\r\n'))
        tls.close()
    except (ssl.SSLError, OSError):
        connection.close()
)";

struct TOutcome {
  int32_t status;
  std::string reason;
  uint16_t error;
  std::string body;
};

}  // namespace

TEST(TlsClose, ACloseWithoutCloseNotifyEndsTheBodyAsATcpCloseDoes) {
  TempDir dir;
  const TTestCa ca(dir, "unclean");
  const TCertificateFiles identity = ca.Issue("server", {"127.0.0.1"});
  WriteWholeFile(dir.File("server.py"), kServer);
  setenv("SSL_CERT_FILE", ca.CertificateFile().c_str(), 1);
  const struct {
    std::string path;
    TOutcome outcome;
  } rows[] = {
      {"/length", {200, "OK", 0, "chart"}},
      {"/to-the-close", {200, "OK", 0, "chart"}},
      {"/cut", {200, "Transfer closed with 5 of 10 bytes missing", 20030, "chart"}},
  };
  for (const char* version : {"TLSv1_2", "TLSv1_3"}) {
    const uint16_t port = FreeLoopbackPort();
    TServerProcess server(SIGTERM);
    ASSERT_TRUE(server.Start({"/usr/bin/python3", dir.File("server.py"), std::to_string(port),
                              identity.Certificate, identity.Key, version},
                             port));
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(version) + " " + row.path);
      THttpCli client;
      TMemoryStream body;
      uint16_t error = 0xFFFF;
      client.RcvdStream = &body;
      client.OnRequestDone = [&](THttpCli*, THttpRequest, uint16_t e) { error = e; };
      client.URL = "https://127.0.0.1:" + std::to_string(port) + row.path;
      client.Get();
      EXPECT_EQ(client.StatusCode(), row.outcome.status);
      EXPECT_EQ(client.ReasonPhrase(), row.outcome.reason);
      EXPECT_EQ(error, row.outcome.error);
      EXPECT_EQ(std::string(body.Bytes().begin(), body.Bytes().end()), row.outcome.body);
    }
  }
  unsetenv("SSL_CERT_FILE");
}
