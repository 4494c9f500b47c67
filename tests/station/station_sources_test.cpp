// The model of the sources under the station, with clocks the test moves: a good, a
// failing, a given-up and an unchanged source over two days and a restart, and the file
// that keeps the model.

#include "station/source_health_file.h"
#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"

namespace {

const TDateTime kFirstDay = EncodeDateTime({2026, 12, 8, 10, 15, 5});
const TDateTime kSecondDay = EncodeDateTime({2026, 12, 9, 10, 15, 5});
const TDateTime kThirdDay = EncodeDateTime({2026, 12, 10, 10, 15, 5});

class StationSourcesTest : public StationTest {
 protected:
  StationSourcesTest() {
    server_.Serve("/good.gif", PeerGifBytes(6, 4));
    server_.Serve("/same.gif", PeerGifBytes(5, 3));
    server_.Serve("/flaky.gif", PeerGifBytes(3, 3));
  }
  Texts Schedule() const {
    return {StationLine("1015", server_.Url("/good.gif"), dir_.File("good.bmp"), "Good"),
            StationLine("1015", server_.Url("/dead.gif"), dir_.File("dead.bmp"), "Dead"),
            StationLine("1015", server_.Url("/same.gif"), dir_.File("same.bmp"), "Same"),
            StationLine("1015", server_.Url("/flaky.gif"), "", "Flaky")};
  }
  const TSourceRow& Row(size_t index) const {
    EXPECT_EQ(report_->rows.size(), 4u);
    return report_->rows.at(index);
  }
  // Steady time passes, a minute a tick, until nothing is queued.
  void RunOutTheRetries() {
    for (int minutes = 0; minutes < 15 && !station_->QueueLines().empty(); ++minutes) {
      AfterSeconds(60);
      Settle();
    }
  }
  void NextDay(TDateTime day) {
    clock_.Set(day);
    AfterSeconds(24 * 60 * 60);
    Settle();
  }

  THttpFileServer server_;
};

}  // namespace

TEST_F(StationSourcesTest, EachLineTellsItsLastGoodSaveItsFailuresAndUnchangedBytes) {
  Start(Schedule());
  Settle();
  ASSERT_EQ(report_->rows, station_->SourceRows());
  EXPECT_EQ(Row(0).dueTime, "10:15");
  EXPECT_EQ(Row(0).title, "Good");
  EXPECT_EQ(Row(0).state, ssOk);
  EXPECT_EQ(Row(0).lastGoodSave, kFirstDay);
  EXPECT_EQ(Row(0).lastGoodFile, dir_.File("good.bmp"));
  EXPECT_EQ(Row(0).attemptsToday, 1);
  EXPECT_EQ(Row(1).state, ssRetrying);
  EXPECT_EQ(Row(1).failingSince, kFirstDay);
  EXPECT_EQ(Row(1).lastErrorKind, fkHttpStatus);
  EXPECT_EQ(Row(1).lastError, "404 Not Found") << "the row names its source already";
  EXPECT_FALSE(Row(1).lastGoodSave);
  EXPECT_EQ(Row(3).target, "");

  RunOutTheRetries();
  EXPECT_EQ(Row(1).state, ssGivenUp);
  EXPECT_EQ(Row(1).failingSince, kFirstDay);
  const int firstDayAttempts = Row(1).attemptsToday;
  EXPECT_GT(firstDayAttempts, 5);
  EXPECT_EQ(Row(1).attemptsToday, server_.Requests("/dead.gif"));

  // The next day: the given-up source gets one attempt and stays given up since the first
  // day; the source serving the same bytes again is unchanged since its first delivery.
  server_.Serve("/good.gif", PeerGifBytes(7, 4));
  server_.Serve("/flaky.gif", "", 503);
  NextDay(kSecondDay);
  EXPECT_EQ(server_.Requests("/dead.gif"), firstDayAttempts + 1);
  EXPECT_EQ(station_->QueueLines().size(), 1u) << "the flaky one retries";
  EXPECT_EQ(Row(0).state, ssOk);
  EXPECT_EQ(Row(0).lastGoodSave, kSecondDay);
  EXPECT_EQ(Row(1).state, ssGivenUp);
  EXPECT_EQ(Row(1).failingSince, kFirstDay);
  EXPECT_EQ(Row(1).attemptsToday, 1);
  EXPECT_EQ(Row(2).state, ssUnchanged);
  EXPECT_EQ(Row(2).unchangedSince, kFirstDay);
  EXPECT_EQ(Row(2).lastGoodSave, kSecondDay);
  EXPECT_EQ(Row(3).state, ssRetrying);
  EXPECT_EQ(Row(3).lastGoodSave, kFirstDay);
  EXPECT_EQ(Row(3).lastGoodFile, "") << "a line that only shows its chart";

  // A restart keeps every row; a retry the restart ended counts as given up.
  std::vector<TSourceRow> before = report_->rows;
  before[3].state = ssGivenUp;
  clock_.AdvanceMinutes(1);
  Restart(Schedule());
  Settle();
  EXPECT_EQ(report_->rows, before);

  // Delivering again ends the failure; new bytes end the unchanged spell.
  server_.Serve("/dead.gif", PeerGifBytes(4, 4));
  server_.Serve("/same.gif", PeerGifBytes(5, 4));
  server_.Serve("/flaky.gif", PeerGifBytes(3, 4));
  server_.Serve("/good.gif", PeerGifBytes(8, 4));
  NextDay(kThirdDay);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Row(i).state, ssOk) << i;
    EXPECT_FALSE(Row(i).failingSince) << i;
    EXPECT_EQ(Row(i).lastError, "") << i;
    EXPECT_FALSE(Row(i).unchangedSince) << i;
    EXPECT_EQ(Row(i).attemptsToday, 1) << i;
  }
  EXPECT_EQ(Row(1).lastGoodSave, kThirdDay);
}

TEST(SourceHealthFile, ReadsWhatItWritesAndKeepsFieldsItDoesNotKnow) {
  const std::string text =
      "# a comment\n"
      "1015 n Chart\tstate=given up\tlast-good=2026-12-07 09:00:00 UTC\tlast-good-file=/c/a.gif"
      "\tattempts=3\tfailing-since=2026-12-08 10:15:05 UTC\terror=Chart: 404\terror-kind=HTTP "
      "status\tsha256=ab12\tsha256-since=2026-12-06 09:00:00 UTC\tlater=kept\n"
      "damaged line without fields\n"
      "1016 n Other\tstate=nonsense\tattempts=x\r\n";
  const TLineHealths records = ParseSourceHealth(text);
  ASSERT_EQ(records.size(), 2u);
  const TLineHealth& chart = records.at("1015 n Chart");
  EXPECT_EQ(chart.state, ssGivenUp);
  EXPECT_EQ(chart.lastGoodSave, EncodeDateTime({2026, 12, 7, 9, 0, 0}));
  EXPECT_EQ(chart.lastGoodFile, "/c/a.gif");
  EXPECT_EQ(chart.attempts, 3);
  EXPECT_EQ(chart.failingSince, kFirstDay);
  EXPECT_EQ(chart.lastErrorKind, fkHttpStatus);
  EXPECT_EQ(chart.digest, "ab12");
  EXPECT_EQ(chart.otherFields.at("later"), "kept");
  EXPECT_EQ(records.at("1016 n Other").state, ssNew);
  EXPECT_EQ(ParseSourceHealth(SourceHealthText(records)), records);
}
