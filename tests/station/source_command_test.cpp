// The operator's source command: run by the station, with the fake clock, when a source has
// failed for a while, is given up and delivers again; a real script writes down what it is
// told. Its failures are reported and the station goes on.

#include <sys/stat.h>

#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"

namespace {

const TDateTime kFirstDay = EncodeDateTime({2026, 12, 8, 10, 15, 5});
const TDateTime kSecondDay = EncodeDateTime({2026, 12, 9, 10, 15, 5});
// Shell syntax in a title must reach the command as text, never run.
const std::string kTitle = "Dead $(touch ran) `touch ran` \"x\"";

class SourceCommandTest : public StationTest {
 protected:
  SourceCommandTest() {
    server_.Serve("/good.gif", PeerGifBytes(6, 4));
    const std::string script = dir_.File("notify.sh");
    WriteWholeFile(script,
                   "#!/bin/sh\ncd \"$(dirname \"$0\")\"\n"
                   "printf '%s|%s|%s|%s\\n' \"$ISOVIEW_SOURCE_TITLE\" \"$ISOVIEW_SOURCE_URL\" "
                   "\"$ISOVIEW_SOURCE_STATE\" \"$ISOVIEW_SOURCE_ERROR\" >> told.txt\n");
    chmod(script.c_str(), 0755);
    settings_.values[kSourceCommandKey] = script;
    settings_.values[kSourceCommandAfterKey] = "3";
  }
  Texts Schedule() const {
    std::string dead = server_.Url("/dead.gif");
    dead.insert(dead.find("//") + 2, "user:secret@");
    return {StationLine("1015", server_.Url("/good.gif"), dir_.File("good.bmp"), "Good"),
            StationLine("1015", dead, dir_.File("dead.bmp"), kTitle)};
  }
  // The wall and the steady clock move on a minute a tick; the commands end.
  void Minutes(int count) {
    for (int minute = 0; minute < count; ++minute) {
      clock_.AdvanceMinutes(1);
      AfterSeconds(60);
      Settle();
      WaitForCommands();
    }
  }
  void WaitForCommands() {
    ASSERT_TRUE(
        PumpUntil(MessageLoop::Current(), [this] { return station_->RunningCommands() == 0; }));
  }
  std::string Told() const { return ReadWholeFile(dir_.File("told.txt")); }
  std::string Line(const std::string& state, const std::string& error) const {
    // The user name stays, the password goes, as everywhere the station shows a URL.
    std::string url = server_.Url("/dead.gif");
    url.insert(url.find("//") + 2, "user@");
    return kTitle + "|" + url + "|" + state + "|" + error + "\n";
  }

  THttpFileServer server_;
};

}  // namespace

TEST_F(SourceCommandTest, ToldOnceAfterFailingAWhileOnceGivenUpAndOnceDeliveringAgain) {
  Start(Schedule());
  Settle();
  Minutes(2);
  EXPECT_FALSE(FileExists(dir_.File("told.txt"))) << "failing for two minutes only";

  Minutes(1);
  const std::string failing = Line("retrying", "404 Not Found");
  EXPECT_EQ(Told(), failing);
  EXPECT_EQ(Count("Source command for " + kTitle + " (retrying) started"), 1u);

  // The good source brings new bytes every day: it never becomes "unchanged".
  server_.Serve("/good.gif", PeerGifBytes(7, 4));
  Minutes(10);
  const std::string givenUp = failing + Line("given up", "404 Not Found");
  EXPECT_EQ(Told(), givenUp);

  // A restart and a further failed attempt the next day tell nothing again.
  Restart(Schedule());
  Settle();
  clock_.Set(kSecondDay);
  AfterSeconds(24 * 60 * 60);
  Settle();
  Minutes(5);
  EXPECT_EQ(Told(), givenUp);

  server_.Serve("/dead.gif", PeerGifBytes(3, 3));
  server_.Serve("/good.gif", PeerGifBytes(8, 4));
  clock_.Set(IncMinutes(kFirstDay, 2 * 24 * 60));
  AfterSeconds(24 * 60 * 60);
  Settle();
  WaitForCommands();
  EXPECT_EQ(Told(), givenUp + Line("ok", ""));
  EXPECT_FALSE(FileExists(dir_.File("ran")));
  EXPECT_EQ(Log().find("secret"), std::string::npos);
}

TEST_F(SourceCommandTest, AFailingCommandIsReportedAndTheStationGoesOn) {
  settings_.values[kSourceCommandAfterKey] = "0";
  settings_.values[kSourceCommandTimeoutKey] = "1";
  const struct {
    std::string command;
    std::string problem;
  } cases[] = {
      {"exit 3", "exited with status 3"},
      {"no-such-program-of-isoview", "exited with status 127"},
      {"kill -9 $$", "ended by signal 9"},
      {"exec sleep 600", "ran longer than 1 s and was stopped"},
  };
  int line = 0;
  for (const auto& each : cases) {
    settings_.values[kSourceCommandKey] = each.command;
    // A line and a minute of its own each time: after a restart the last line counts as
    // given up, and a minute the station has queued is not queued again.
    ++line;
    clock_.Set({2026, 12, 8, 10, 15 + line, 5});
    const std::string url = server_.Url("/dead" + std::to_string(line) + ".gif");
    const Texts schedule{
        StationLine("10" + std::to_string(15 + line), url, dir_.File("dead.bmp"), "Dead")};
    station_ ? Restart(schedule) : Start(schedule);
    // The station settles, its line waiting for a retry, whether the command ended or not.
    Settle();
    EXPECT_EQ(station_->QueueLines().size(), 1u);
    WaitForCommands();
    ASSERT_FALSE(report_->errors.empty());
    EXPECT_EQ(report_->errors.back().source, kSourceCommandSource) << each.command;
    EXPECT_EQ(report_->errors.back().message, "Dead (retrying): " + each.problem);
  }
}
