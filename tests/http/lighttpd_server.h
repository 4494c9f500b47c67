#pragma once
// Debian's lighttpd on loopback, on a port chosen at run time, with a configuration written
// for the test into a temporary folder. Its redirects send the Location as written here:
//   /redirect/CODE/relative/PATH  CODE (301 302 303 307 308) to "/PATH"
//   /redirect/CODE/absolute/PATH  CODE to "http://127.0.0.1:PORT/PATH"
//   /deep/down/NAME               302 to "../../files/NAME", that is /files/NAME
//   /query/PATH                   302 to "?v=2" (the same path with that query)
//   /blank/PATH                   302 to "/PATH with a blank.gif"
// Files are written into the served folder with Put at any time; the access log (through a
// pipe, so that each request is there at once) is read with NextRecords.

#include "tests/http/peer_http_server.h"

class TLighttpdServer : public TPeerHttpServer {
 public:
  TLighttpdServer();

 private:
  void WriteConfiguration() const;
};
