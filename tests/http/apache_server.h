#pragma once
// Apache httpd (Debian's apache2-bin) on loopback, on a port chosen at run time, with a
// configuration written for the test into a temporary folder. Apache builds the Location
// of its redirects from the Host header the client sent (UseCanonicalName Off):
//   /moved/PATH   302 to http://HOST/PATH, made by mod_rewrite from the Host header
//   /alias/PATH   302 to /PATH, made absolute by mod_alias
//   /FOLDER       301 to /FOLDER/ by mod_dir, for a folder with an index.html
// Files are written into the served folder with Put at any time.

#include "tests/http/peer_http_server.h"

class TApacheServer : public TPeerHttpServer {
 public:
  TApacheServer();

 private:
  void WriteConfiguration() const;
};
