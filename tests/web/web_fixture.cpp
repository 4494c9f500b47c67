#include "tests/web/web_fixture.h"

#include "tests/support/shell_command.h"

WebTest::WebTest() {
  charts_.Serve("/good.gif", PeerGifBytes(6, 4));
  listeners_.push_back(&snapshot_);
}

void WebTest::StartStationAndPage(const std::string& token) {
  Start({StationLine("1015", charts_.Url("/good.gif"), dir_.File("good-@H@N.gif"), "Good"),
         StationLine("1015", charts_.Url("/dead.gif"), dir_.File("dead.gif"), "Dead")});
  Settle();
  ServePage(token);
}

void WebTest::ServePage(const std::string& token) {
  const TStationSettings& station = station_->Settings();
  const TWebSettings settings{TWebAddress{"127.0.0.1", 0}, token, station.loopFrames,
                              station.loopDelayCentiseconds};
  web_ = std::make_unique<TWebServer>(settings, snapshot_, dir_.Path(), clock_, zone_);
}

TWebAnswer WebTest::Get(const std::string& path, const std::string& curlArguments) const {
  const std::string body = dir_.File("answer.bin");
  std::remove(body.c_str());
  const TCommandResult result =
      RunCommand("curl -s --path-as-is --max-time 20 -o '" + body + "' -w '%{http_code}' " +
                 curlArguments + " 'http://127.0.0.1:" + std::to_string(web_->Port()) + path + "'");
  TWebAnswer answer;
  answer.status = std::atoi(result.output.c_str());
  if (FileExists(body)) answer.body = ReadWholeFile(body);
  return answer;
}
