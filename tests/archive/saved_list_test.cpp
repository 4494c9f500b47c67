#include "archive/saved_list.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

TDateTime At(int day, int hour, int minute = 0, int second = 0) {
  return EncodeDateTime({2026, 12, day, hour, minute, second});
}

}  // namespace

TEST(SavedList, TakesOnlyWellFormedLinesWithARealTimeAndAnAbsolutePath) {
  const std::vector<std::pair<std::string, std::optional<TSavedFile>>> cases = {
      {"2026-12-08 15:11:01 UTC\t/srv/charts/a.gif",
       TSavedFile{At(8, 15, 11, 1), "/srv/charts/a.gif"}},
      {"2024-02-29 23:59:59 UTC\t/a b\tc.jpg",
       TSavedFile{EncodeDateTime({2024, 2, 29, 23, 59, 59}), "/a b\tc.jpg"}},
      {"2026-02-29 10:00:00 UTC\t/x.gif", std::nullopt},  // no such day
      {"2026-12-08 24:00:00 UTC\t/x.gif", std::nullopt},
      {"2026-12-08 10:60:00 UTC\t/x.gif", std::nullopt},
      {"2026-13-08 10:00:00 UTC\t/x.gif", std::nullopt},
      {"2026-12-08 10:00:00 UTC\tx.gif", std::nullopt},  // relative: depends on a folder
      {"2026-12-08 10:00:00 UTC\t", std::nullopt},
      {"2026-12-08 10:00:00 UTC /x.gif", std::nullopt},
      {"2026-12-08 10:00:00 GMT\t/x.gif", std::nullopt},
      {"2026-12-8 10:00:00 UTC\t/x.gif", std::nullopt},
      {"2026-12-08 10:00:00 UTC\t/x.gif\r", std::nullopt},  // a CR is no part of a path
      {"", std::nullopt},
  };
  for (const auto& [line, save] : cases) {
    SCOPED_TRACE(line);
    const std::vector<TSavedListLine> parsed = ParseSavedList(line + "\n");
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].text, line);
    EXPECT_EQ(parsed[0].save, save);
    if (save) {
      EXPECT_EQ(SavedListLine(*save), line + "\n");
    }
  }
}

TEST(SavedList, APathSavedAgainCountsAtItsLatestTimeAndRewritingKeepsForeignLines) {
  const std::string bytes =
      "2026-12-08 10:00:00 UTC\t/c/a.gif\n"
      "a line an operator wrote\n"
      "2026-12-08 09:00:00 UTC\t/c/b.gif\n"
      "2026-12-08 12:00:00 UTC\t/c/a.gif\n"
      "2026-12-08 11:00:00 UTC\t/c/a.gif\n"  // the clock went back: the earlier time loses
      "2026-12-08 09:00:00 UTC\t/c/c.gif";   // a last line without its end
  const std::vector<TSavedListLine> lines = ParseSavedList(bytes);
  EXPECT_EQ(LatestSaves(lines),
            (std::vector<TSavedFile>{
                {At(8, 9), "/c/b.gif"}, {At(8, 9), "/c/c.gif"}, {At(8, 12), "/c/a.gif"}}));
  EXPECT_EQ(SavedListWithout(lines, {"/c/b.gif"}),
            "a line an operator wrote\n"
            "2026-12-08 12:00:00 UTC\t/c/a.gif\n"
            "2026-12-08 09:00:00 UTC\t/c/c.gif\n");
}

TEST(SavedList, RecordsEachSaveAsOneLineAndRefusesPathsItCouldNotListBack) {
  TempDir dir;
  const std::string list = dir.File("saved.txt");
  EXPECT_TRUE(RecordSave(list, {At(8, 10), "/c/a.gif"}));
  EXPECT_TRUE(RecordSave(list, {At(8, 11, 30, 5), "/c/b c.jpg"}));
  EXPECT_FALSE(RecordSave(list, {At(8, 12), "relative.gif"}));
  EXPECT_FALSE(RecordSave(list, {At(8, 12), "/two\nlines.gif"}));
  EXPECT_FALSE(RecordSave(dir.File("no-folder/saved.txt"), {At(8, 12), "/c/a.gif"}));
  EXPECT_EQ(ReadWholeFile(list),
            "2026-12-08 10:00:00 UTC\t/c/a.gif\n2026-12-08 11:30:05 UTC\t/c/b c.jpg\n");
}
