#pragma once
// A station in a temporary program folder with its web page served beside it, and requests
// made by curl, as a client from outside makes them.

#include <memory>
#include <string>

#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"
#include "web/station_snapshot.h"
#include "web/web_server.h"

struct TWebAnswer {
  int status = 0;  // 0: no answer
  std::string body;
};

class WebTest : public StationTest {
 protected:
  WebTest();
  // The station on a good and a dead source at 10:15, settled, with the page served.
  void StartStationAndPage(const std::string& token = "");
  // The page served on loopback, for the station started, its loops as its settings say.
  void ServePage(const std::string& token = "");
  // GET of the path as it is written (curl --path-as-is), with curl's further arguments.
  TWebAnswer Get(const std::string& path, const std::string& curlArguments = "") const;

  THttpFileServer charts_;
  TStationSnapshot snapshot_;
  std::unique_ptr<TWebServer> web_;
};
