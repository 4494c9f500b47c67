#include "archive/archive_policy.h"

#include <gtest/gtest.h>

#include "runtime/exceptions.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace {

struct TPolicyCase {
  std::vector<std::string> lines;
  TArchivePolicy policy;  // when error is empty
  std::string error;
};

}  // namespace

TEST(ArchivePolicy, ReadsBothSettingsAndRefusesEveryLineItCannotTakeWhole) {
  const std::vector<TPolicyCase> cases = {
      {{"keep-days 30", "keep-megabytes 500"}, {30, 500}, ""},
      {{"# a week", "", "  keep-days\t7  "}, {7, std::nullopt}, ""},
      {{"keep-megabytes 1"}, {std::nullopt, 1}, ""},
      {{}, {}, ""},
      {{"keep-days 36500", "keep-megabytes 1099511627776"}, {36500, 1099511627776}, ""},
      // A zero would delete a picture the moment it is saved.
      {{"keep-days 0"}, {}, "line 1: keep-days needs a whole number from 1 to 36500, not \"0\""},
      {{"keep-days 36501"}, {}, "line 1: keep-days needs a whole number from 1 to 36500"},
      {{"keep-days -5"}, {}, "not \"-5\""},
      {{"keep-days 7.5"}, {}, "not \"7.5\""},
      {{"keep-days"}, {}, "not \"\""},
      {{"keep-days 99999999999999999999"}, {}, "line 1: keep-days needs"},
      {{"keep-megabytes 1099511627777"}, {}, "line 1: keep-megabytes needs"},
      {{"keep-days 7", "keep-days 8"}, {}, "line 2: keep-days is given twice"},
      {{"", "keep-days 7 days"}, {}, "line 2: more than a setting and its number"},
      {{"keep-weeks 2"}, {}, "line 1: \"keep-weeks\" is neither keep-days nor keep-megabytes"},
      {{"KEEP-DAYS 7"}, {}, "\"KEEP-DAYS\" is neither"},
  };
  for (const TPolicyCase& c : cases) {
    SCOPED_TRACE(c.lines.empty() ? "(empty)" : c.lines.back());
    if (c.error.empty()) {
      EXPECT_EQ(ParseArchivePolicy(c.lines), c.policy);
    } else {
      EXPECT_NE(MessageRaised<Exception>([&] { ParseArchivePolicy(c.lines); }).find(c.error),
                std::string::npos)
          << MessageRaised<Exception>([&] { ParseArchivePolicy(c.lines); });
    }
  }
}

TEST(ArchivePolicy, AMissingFileIsNoPolicyAndAnEmptyOneKeepsEverything) {
  TempDir dir;
  EXPECT_EQ(ReadArchivePolicy(dir.File("archive.txt")), std::nullopt);
  WriteWholeFile(dir.File("archive.txt"), "\r\n");
  EXPECT_EQ(ReadArchivePolicy(dir.File("archive.txt")), TArchivePolicy{});
  WriteWholeFile(dir.File("archive.txt"), "keep-days 3\r\nkeep-megabytes 20\r\n");
  EXPECT_EQ(ReadArchivePolicy(dir.File("archive.txt")), (TArchivePolicy{3, 20}));
}
