#include <gtest/gtest.h>

#include "fetch/fetch_inputs.h"
#include "fetch/give_up_rule.h"
#include "schedule/schedule_event.h"

namespace {

TEST(FetchInputsTest, AreCutFromTheLinesColumns) {
  const std::string line = ScheduleEvent{
      {"1015", "y", "Radar", "  http://m/dir/radar.gif ", "N",
       " out/r.gif  "}}.ToLine();
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

TEST(GiveUpRuleTest, GivesUpOnlyAfterTenMinutesOfFailuresWithoutASuccess) {
  TGiveUpRule rule;
  const TDateTime start = EncodeDateTime({2026, 12, 8, 10, 15, 5});
  EXPECT_FALSE(rule.Failed(start));
  EXPECT_FALSE(rule.Failed(IncMinutes(start, 9)));
  rule.Reset();  // a success in between starts the ten minutes again
  EXPECT_FALSE(rule.Failed(IncMinutes(start, 10)));
  EXPECT_FALSE(rule.Failed({IncMinutes(start, 20).ms - 1}));
  EXPECT_TRUE(rule.Failed(IncMinutes(start, 20)));
  EXPECT_EQ(rule.Attempts(), 3);
  EXPECT_EQ(GiveUpMessage("http://m/x.gif", 3), "Giving up on http://m/x.gif after 3 attempts");
}

}  // namespace
