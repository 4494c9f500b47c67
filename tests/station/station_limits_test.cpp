// Downloads side by side within the settings' limits: at most four at once and two to one
// host, started in the queue's order at the tick that queues them; saves and their log
// lines follow in the order the downloads end.

#include "tests/http/scripted_http_server.h"
#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"

namespace {

class StationLimitsTest : public StationTest {};

}  // namespace

// Eight lines to four silent hosts (127.0.0.1 to 127.0.0.4): three to the first, three to
// the second, one each to the others. The first tick starts four, two to each of the
// first two hosts; the rest wait for a free place.
TEST_F(StationLimitsTest, AtMostFourDownloadsRunAtOnceAndTwoToOneHost) {
  const TScriptedReply silent{"", true, false};
  std::vector<std::unique_ptr<TScriptedHttpServer>> hosts;
  for (const char* address : {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"})
    hosts.push_back(std::make_unique<TScriptedHttpServer>(std::vector{silent}, address));
  Texts schedule;
  for (int host : {0, 0, 0, 1, 1, 1, 2, 3})
    schedule.push_back(StationLine("1015", hosts[host]->URL("/fax.gif"), ""));
  Start(schedule);
  EXPECT_EQ(station_->RunningDownloads(), 4) << "started at the tick that queued them";
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] {
    return hosts[0]->requests.size() == 2 && hosts[1]->requests.size() == 2;
  }));
  EXPECT_EQ(hosts[2]->requests.size(), 0u);
  EXPECT_EQ(hosts[3]->requests.size(), 0u);

  settings_.values = {{kMaxDownloadsKey, "6"}, {kMaxDownloadsPerHostKey, "1"}};
  station_.reset();
  for (auto& host : hosts) host->requests.clear();
  Start(schedule);
  EXPECT_EQ(station_->RunningDownloads(), 4) << "one to each host";
}

// The first line's server holds its reply; the second's answers at once. The second chart
// is saved first, the first when its server lets go: saves, their log lines and their
// reports come in the order the downloads ended, not the order of the queue.
TEST_F(StationLimitsTest, SavesFollowTheOrderInWhichTheDownloadsEnded) {
  THttpFileServer slow;
  THttpFileServer fast;
  slow.Serve("/a.gif", PeerGifBytes(30, 20));
  slow.Hold("/a.gif");
  fast.Serve("/b.gif", PeerGifBytes(3, 2));
  Start({StationLine("1015", slow.Url("/a.gif"), dir_.File("a.gif"), "A"),
         StationLine("1015", fast.Url("/b.gif"), dir_.File("b.gif"), "B")});
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return report_->saves.size() == 1; }));
  EXPECT_EQ(report_->saves[0].path, dir_.File("b.gif"));
  slow.Release();
  Settle();
  ASSERT_EQ(report_->saves.size(), 2u);
  EXPECT_EQ(report_->saves[1].path, dir_.File("a.gif"));
  EXPECT_LT(Log().find("Saved " + dir_.File("b.gif")), Log().find("Saved " + dir_.File("a.gif")));
}

struct TRequestLimitCase {
  const char* key;
  const char* value;
  TScriptedReply reply;
  std::string failure;  // after "Chart (URL): "
  TFailureKind kind;
};

// Each request carries the settings' deadline and body limit.
TEST_F(StationLimitsTest, EachRequestHasTheSettingsDeadlineAndBodyLimit) {
  const std::vector<TRequestLimitCase> cases{
      {kBodyLimitKey,
       "100",
       {HttpReply("200 OK", {"Content-Length: 1000"}, std::string(1000, 'x'))},
       "Body larger than 100 bytes",
       fkContent},
      {kDeadlineKey, "1", {"", true, false}, "Transfer took longer than 1 s", fkNetwork},
  };
  for (const TRequestLimitCase& limit : cases) {
    SCOPED_TRACE(limit.key);
    TScriptedHttpServer server({limit.reply});
    settings_.values = {{limit.key, limit.value}};
    Start({StationLine("1015", server.URL("/fax.gif"), "")});
    Settle();
    ASSERT_EQ(report_->errors.size(), 1u);
    EXPECT_EQ(report_->errors[0].message,
              "Chart (" + server.URL("/fax.gif") + "): " + limit.failure);
    EXPECT_EQ(report_->errors[0].kind, limit.kind);
  }
}

// The settings' keys, read through the station's own interface; a value that is no whole
// number in its range keeps the default and is reported.
TEST(StationSettings, AreReadFromTheKeysAndWrongValuesKeepTheDefaults) {
  TMapSettings source;
  std::vector<std::string> problems;
  TStationSettings read = ReadStationSettings(source, problems);
  EXPECT_EQ(read.maxDownloads, 4);
  EXPECT_EQ(read.maxDownloadsPerHost, 2);
  EXPECT_EQ(read.deadlineSeconds, 600);
  EXPECT_EQ(read.bodyLimitBytes, 536870912);
  EXPECT_TRUE(problems.empty());
  source.values = {{kMaxDownloadsKey, "8"},
                   {kMaxDownloadsPerHostKey, "0"},
                   {kDeadlineKey, "90s"},
                   {kBodyLimitKey, "1048576"}};
  read = ReadStationSettings(source, problems);
  EXPECT_EQ(read.maxDownloads, 8);
  EXPECT_EQ(read.maxDownloadsPerHost, 2);
  EXPECT_EQ(read.deadlineSeconds, 600);
  EXPECT_EQ(read.bodyLimitBytes, 1048576);
  EXPECT_EQ(problems, (Texts{"isoview.ini: station/maxDownloadsPerHost = \"0\" is no whole number "
                             "from 1 to 64; 2 is used",
                             "isoview.ini: station/deadlineSeconds = \"90s\" is no whole number "
                             "from 0 to 604800; 600 is used"}));
}

// The progress is told at most ten times a second; a change held back is still told when
// its interval ends, so that a download stalled after it shows all it has received.
TEST_F(StationLimitsTest, AStalledDownloadShowsAllItHasReceived) {
  constexpr size_t kSent = 300000;  // several reads' worth, then nothing more
  TScriptedHttpServer stalling(
      {{HttpReply("200 OK", {"Content-Length: 1000000"}, std::string(kSent, 'x')), false}});
  Start({StationLine("1015", stalling.URL("/fax.gif"), "")});
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] {
    return !report_->progresses.empty() && report_->progresses.back().received == int64_t(kSent);
  }));
  EXPECT_EQ(report_->progresses.back().length, 1000000);
  EXPECT_EQ(report_->progresses.back().downloads, 1);
  EXPECT_LE(report_->progresses.size(), 3u) << "the steady clock stood still: one interval";
}
