#include "fetch/event_log.h"

#include <gtest/gtest.h>

#include <regex>

#include "runtime/text_file.h"
#include "tests/support/temp_dir.h"

TEST(EventLog, StampIsUtcDateAndTime) {
  EXPECT_EQ(LogStamp(1078668309), "2004-03-07 14:05:09 UTC ");
}

TEST(EventLog, AppendsOneLinePerEventAndFlattensLineBreaks) {
  TempDir dir;
  TEventLog log(dir.File("isoview.log"));
  log.Add("first");
  log.Add("two\r\nlines");
  const std::vector<std::string> lines = ReadTextFile(dir.File("isoview.log"));
  ASSERT_EQ(lines.size(), 2u);
  const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC )");
  EXPECT_TRUE(std::regex_match(lines[0].substr(0, 24), stamp)) << lines[0];
  EXPECT_EQ(lines[0].substr(24), "first");
  EXPECT_EQ(lines[1].substr(24), "two  lines");
}

TEST(EventLog, UnwritableLogIsIgnored) {
  TEventLog log("/nonexistent-folder/isoview.log");
  EXPECT_NO_THROW(log.Add("nothing happens"));
}
