#include "program/date_codes.h"

#include <gtest/gtest.h>

#include "tests/support/fake_clock.h"

namespace {

// The fake clock starts at 7 March 2004, 14:05:09; the zone at UTC.
class DateCodesTest : public ::testing::Test {
 protected:
  FakeClock clock_;
  FakeTimeZone zone_;
  std::string Expand(const std::string& name) { return ExpandDateCodes(name, clock_, zone_); }
};

TEST_F(DateCodesTest, EveryCodeOfTheTable) {
  EXPECT_EQ(Expand("@Y@M@D@H.gif"), "04030714.gif");
  EXPECT_EQ(Expand("@N@S"), "0509");
  EXPECT_EQ(Expand("chart @X.bmp"), "chart (07) 14:05:09.bmp");
  EXPECT_EQ(Expand("/charts/plain.jpg"), "/charts/plain.jpg");
}

TEST_F(DateCodesTest, OtherLettersAndATrailingMarkAreRemovedWithTheirCharacter) {
  EXPECT_EQ(Expand("a@yb"), "ab");  // lower case is no code
  EXPECT_EQ(Expand("a@Qb@"), "ab");
  EXPECT_EQ(Expand("@@Y"), "Y");  // "@@" goes, then the plain Y stays
  EXPECT_EQ(Expand("x@@@H"), "x14");
}

TEST_F(DateCodesTest, YearRollsOverWithTheBias) {
  clock_.Set({2003, 12, 31, 23, 30, 0});
  zone_.Set({tzsStandard, 60, 0, 0});
  EXPECT_EQ(Expand("@Y@M@D@H@N"), "0401010030");
}

TEST_F(DateCodesTest, ZoneStatesPickTheirBiases) {
  clock_.Set({2004, 6, 1, 12, 0, 0});
  zone_.Set({tzsUnknown, -120, 30, -60});
  EXPECT_EQ(Expand("@H@N"), "1000");  // base only: a zone without daylight saving
  zone_.Set({tzsStandard, -120, 30, -60});
  EXPECT_EQ(Expand("@H@N"), "1030");  // base + standard
  zone_.Set({tzsDaylight, -120, 30, -60});
  EXPECT_EQ(Expand("@H@N"), "0900");  // base + daylight
  zone_.Set({tzsInvalid, -120, 30, -60});
  EXPECT_EQ(Expand("@H@N"), "1200");  // a failed query: no bias
}

TEST_F(DateCodesTest, TheClockIsReadAfreshForEachCode) {
  class TickingClock : public TClock {
   public:
    TDateTime Now() const override {
      const TDateTime now = EncodeDateTime({2004, 3, 7, 14, 5, 59});
      return {now.ms + 1000 * reads_++};
    }
    mutable int reads_ = 0;
  } ticking;
  // Each read is a second later: 14:05:59, 14:06:00, 14:06:01, 14:06:02.
  EXPECT_EQ(ExpandDateCodes("@N@S-@N@S", ticking, zone_), "0500-0602");
  EXPECT_EQ(ticking.reads_, 4);
}

TEST_F(DateCodesTest, TheRestAfterACodeKeepsAtMost255Characters) {
  const std::string longTail(300, 'x');
  EXPECT_EQ(Expand("@H" + longTail), "14" + std::string(255, 'x'));
}

}  // namespace
