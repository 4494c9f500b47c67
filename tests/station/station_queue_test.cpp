// The queue's rules under the station, with clocks the test moves: a failing line steps
// aside and is retried with back-off on the steady clock, a dead source gets one attempt
// per back-off, a line is given up ten minutes after its first failure and its source
// counts as failing until it answers, across a restart too; a retry redoes only what
// failed; the clock goes on when the zone cannot be told.

#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"

namespace {

class StationQueueTest : public StationTest {
 protected:
  StationQueueTest() { server_.Serve("/chart.gif", PeerGifBytes(6, 4)); }
  std::string Line(const std::string& path, const std::string& target) {
    return StationLine("1015", server_.Url(path), dir_.File(target));
  }
  size_t Failing() const { return report_->lastQueue.failingSources.size(); }

  THttpFileServer server_;
};

// Prints into a list; fails while told to.
class TListPrinter : public TStationPrinter {
 public:
  std::string Print(const TBitmap&, const std::string& neg) override {
    if (failing) throw Exception("The printer could not start the document");
    printed.push_back(neg);
    return "";
  }
  bool failing = false;
  Texts printed;
};

}  // namespace

// One dead source: the other lines of its minute are saved at once; it waits 2, 4, 8, 16,
// 32 and then 60 seconds of the steady clock between attempts, whatever the wall clock
// does, and is given up ten minutes after its first failure. It then counts as failing
// until it answers, also after a restart; its later events get one attempt each, not
// another ten minutes of retries.
TEST_F(StationQueueTest, AFailingSourceIsRetriedWithBackOffGivenUpAndRemembered) {
  const std::string missing = "/charts/missing.gif";
  Start({Line(missing, "missing.bmp"), Line("/chart.gif", "a.bmp"), Line("/chart.gif", "b.bmp")});
  Settle();
  EXPECT_TRUE(FileExists(dir_.File("a.bmp")));
  EXPECT_TRUE(FileExists(dir_.File("b.bmp")));
  EXPECT_EQ(station_->QueueLines().size(), 1u);
  EXPECT_EQ(report_->errors.back().kind, fkHttpStatus);
  EXPECT_EQ(report_->statuses.back(), "Retrying Chart in 2 s");
  int attempts = 1;
  int elapsed = 0;
  for (int delay : {2, 4, 8, 16, 32, 60, 60}) {
    clock_.AdvanceMinutes(-60);  // the wall clock set back: the waits stay as they were
    AfterSeconds(delay - 1);
    Settle();
    EXPECT_EQ(server_.Requests(missing), attempts) << "retried before " << delay << " s";
    AfterSeconds(1);
    Settle();
    EXPECT_EQ(server_.Requests(missing), ++attempts) << "not retried after " << delay << " s";
    elapsed += delay;
  }
  while (!station_->QueueLines().empty() && elapsed < 900) {
    AfterSeconds(60);
    Settle();
    elapsed += 60;
    ++attempts;
  }
  EXPECT_EQ(elapsed, 602);
  const std::string giveUp = "Giving up on Chart (" + server_.Url(missing) + ") after " +
                             std::to_string(attempts) + " attempts";
  EXPECT_EQ(report_->errors.back().message, giveUp);
  EXPECT_TRUE(report_->errors.back().givenUp);
  EXPECT_EQ(Count("Error (Chart): " + giveUp), 1u);
  EXPECT_FALSE(FileExists(dir_.File("missing.bmp")));
  EXPECT_EQ(Failing(), 1u) << "given up, and still failing";

  clock_.Set({2026, 12, 8, 10, 15, 5});
  Restart({Line(missing, "missing.bmp")});
  Settle();
  EXPECT_EQ(Failing(), 1u) << "remembered across the restart";
  EXPECT_EQ(server_.Requests(missing), attempts + 1) << "one attempt at the restart's minute";
  server_.Serve(missing, PeerGifBytes(6, 4));
  AfterSeconds(2);
  Settle();
  EXPECT_EQ(server_.Requests(missing), attempts + 1) << "no retries for a source given up";
  EXPECT_EQ(Failing(), 1u);
  clock_.Set({2026, 12, 9, 10, 15, 5});
  Tick();
  Settle();
  EXPECT_EQ(Failing(), 0u) << "it delivered the next day";
  EXPECT_NE(ReadWholeFile(dir_.File("sources.txt")).find("giveups=1"), std::string::npos);
}

// A dead source with lines of several minutes queued gets one attempt per back-off, not
// one per line; the other lines run meanwhile, and once it answers again its waiting
// lines all run at once.
TEST_F(StationQueueTest, ADeadSourceGetsOneAttemptPerBackOffForAllItsLines) {
  const std::string dead = "/charts/dead.gif";
  Start({StationLine("1015", server_.Url(dead), dir_.File("d1.bmp")),
         StationLine("1016", server_.Url(dead), dir_.File("d2.bmp")),
         StationLine("1017", server_.Url(dead), dir_.File("d3.bmp")), Line("/chart.gif", "c.bmp")});
  Settle();
  for (int minute = 0; minute < 2; ++minute) {
    clock_.AdvanceMinutes(1);
    Tick();
    Settle();
  }
  EXPECT_TRUE(FileExists(dir_.File("c.bmp")));
  EXPECT_EQ(server_.Requests(dead), 1);
  ASSERT_EQ(station_->QueueLines().size(), 3u);
  int requests = 1;
  for (int delay : {2, 4, 8, 16, 32, 60}) {
    AfterSeconds(delay);
    Settle();
    EXPECT_EQ(server_.Requests(dead), ++requests) << "after " << delay << " s";
  }
  EXPECT_EQ(Failing(), 1u);
  server_.Serve(dead, PeerGifBytes(6, 4));
  AfterSeconds(60);
  Settle();
  EXPECT_EQ(server_.Requests(dead), requests + 3);
  EXPECT_TRUE(station_->QueueLines().empty());
  for (const char* saved : {"d1.bmp", "d2.bmp", "d3.bmp"})
    EXPECT_TRUE(FileExists(dir_.File(saved))) << saved;
  EXPECT_EQ(Failing(), 0u);
}

// A failed save is retried under the name expanded at its first attempt, a failed print
// alone: one download, one file, each failure of its own kind.
TEST_F(StationQueueTest, ARetryRedoesOnlyTheStepThatFailed) {
  std::remove(dir_.File("jpegcomp.txt").c_str());
  TListPrinter printer;
  printer.failing = true;
  printer_ = &printer;
  Start({StationLine("1015", server_.Url("/chart.gif"), dir_.File("chart-@H@N@S.jpg"), "Chart",
                     "y")});
  Settle();
  ASSERT_EQ(report_->errors.size(), 1u);
  EXPECT_EQ(report_->errors[0].message, "Chart (" + server_.Url("/chart.gif") +
                                            "): Cannot open file " + dir_.File("jpegcomp.txt"));
  EXPECT_EQ(report_->errors[0].kind, fkConfiguration);
  WriteTextFile(dir_.File("jpegcomp.txt"), {"80"});
  clock_.AdvanceMilliseconds(2000);
  AfterSeconds(2);
  Settle();
  EXPECT_TRUE(FileExists(dir_.File("chart-101505.jpg")));
  ASSERT_EQ(report_->errors.size(), 2u);
  EXPECT_EQ(report_->errors[1].kind, fkPrinter);
  printer.failing = false;
  AfterSeconds(4);
  Settle();
  EXPECT_TRUE(station_->QueueLines().empty());
  EXPECT_EQ(printer.printed, Texts{"n"});
  EXPECT_EQ(server_.Requests("/chart.gif"), 1);
  EXPECT_EQ(Count("UTC Saved "), 1u);
  EXPECT_FALSE(FileExists(dir_.File("chart-101507.jpg")));
}

// A zone that cannot be told stops nothing: the clock tells it once, goes on asking, and
// queues the minute as soon as the zone answers again.
TEST_F(StationQueueTest, AFailedZoneQueryDoesNotStopTheClock) {
  zone_.Set({tzsInvalid, 0, 0, 0});
  Start({Line("/chart.gif", "c.bmp")});
  Tick();
  EXPECT_TRUE(station_->QueueLines().empty());
  ASSERT_EQ(report_->errors.size(), 1u);
  EXPECT_EQ(report_->errors[0].message,
            "Error converting to UTC Time.  Timezone could not be determined.");
  EXPECT_EQ(report_->errors[0].source, "Clock");
  EXPECT_EQ(report_->clocks.back().time, "");
  zone_.Set({tzsStandard, 0, 0, 0});
  Tick();
  EXPECT_EQ(report_->clocks.back().time, "10:15:05");
  Settle();
  EXPECT_TRUE(FileExists(dir_.File("c.bmp")));
}
