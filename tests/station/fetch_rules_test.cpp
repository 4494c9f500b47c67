#include <gtest/gtest.h>

#include "download/fetch_inputs.h"
#include "runtime/date_time.h"
#include "station/give_up_rule.h"
#include "tests/station/station_fixture.h"

namespace {

TEST(FetchInputsTest, AreCutFromTheLinesColumns) {
  std::string line = StationLine("1015", "  http://m/dir/radar.gif ", " out/r.gif  ", "Radar", "N");
  line[5] = 'y';  // the negative flag
  const TFetchInputs inputs = CutFetchInputs(line);
  EXPECT_EQ(inputs.Neg, "y");
  EXPECT_EQ(inputs.URL, "http://m/dir/radar.gif");
  EXPECT_EQ(inputs.Print, "n");
  EXPECT_EQ(inputs.Filename, " out/r.gif");
  EXPECT_EQ(CutFetchInputs("1015 n Short").Print, "");  // an empty print field prints
}

TEST(FetchInputsTest, LocalFileIsTheUrlsLastSegmentInTheProgramFolder) {
  EXPECT_EQ(DownloadFileName("/p/", "http://m/dir/image.gif"), "/p/image.gif");
  EXPECT_EQ(DownloadFileName("/p/", "image.gif"), "/p/image.gif");
  EXPECT_EQ(DownloadFileName("/p/", "http://m/dir/"), "/p/");
  EXPECT_EQ(DownloadFileName("/p/", "http://m/a.gif "), "/p/a.gif ");
  EXPECT_EQ(DownloadFileName("/p/", "http://m/" + std::string(300, 'x')),
            "/p/" + std::string(kMaxSegmentLength, 'x'));
}

TEST(GiveUpRuleTest, GivesUpTenMinutesAfterTheFirstFailure) {
  TGiveUpRule rule;
  const int64_t start = 5000;
  EXPECT_FALSE(rule.Failed(start));
  EXPECT_FALSE(rule.Failed(start + 9 * kMillisecondsPerMinute));
  EXPECT_FALSE(rule.Failed(start + 10 * kMillisecondsPerMinute - 1));
  EXPECT_TRUE(rule.Failed(start + 10 * kMillisecondsPerMinute));
  EXPECT_EQ(rule.Attempts(), 4);
  EXPECT_EQ(GiveUpMessage("http://m/x.gif", 3), "Giving up on http://m/x.gif after 3 attempts");
}

}  // namespace
