#include "archive/archive_pages.h"

#include <gtest/gtest.h>

namespace {

// n saves, one an hour from 2026-12-01 00:00 UTC, each its own file, oldest first.
std::string HourlySaves(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i)
    bytes += SavedListLine(
        {IncMinutes(EncodeDateTime({2026, 12, 1}), 60 * i), "/a/" + std::to_string(i) + ".gif"});
  return bytes;
}

std::vector<std::string> Paths(const std::vector<TArchiveDay>& page) {
  std::vector<std::string> paths;
  for (const TArchiveDay& day : page)
    for (const TSavedFile& save : day.saves) paths.push_back(save.path);
  return paths;
}

std::vector<std::string> Headings(const std::vector<TArchiveDay>& page) {
  std::vector<std::string> headings;
  for (const TArchiveDay& day : page) headings.push_back(day.heading);
  return headings;
}

}  // namespace

TEST(ArchivePages, CutsTheSavesNewestFirstIntoPagesGroupedByUtcDay) {
  struct Case {
    int saves, perPage, pages;
    int page;  // the page looked at
    std::string firstPath, lastPath;
    std::vector<std::string> headings;
  };
  const std::vector<Case> cases = {
      // 100 hourly saves end on 2026-12-05 03:00 (save 99).
      {100, 48, 3, 0, "/a/99.gif", "/a/52.gif", {"2026-12-05", "2026-12-04", "2026-12-03"}},
      {100,
       48,
       3,
       1,
       "/a/51.gif",
       "/a/4.gif",
       {"2026-12-03", "2026-12-02", "2026-12-01"}},  // a day split over two pages
      {100, 48, 3, 2, "/a/3.gif", "/a/0.gif", {"2026-12-01"}},
      {96, 48, 2, 1, "/a/47.gif", "/a/0.gif", {"2026-12-02", "2026-12-01"}},
      {1, 48, 1, 0, "/a/0.gif", "/a/0.gif", {"2026-12-01"}},
      {0, 48, 1, 0, "", "", {}},   // an empty archive has one empty page
      {5, 48, 1, 1, "", "", {}},   // past the last page
      {5, 48, 1, -1, "", "", {}},  // before the first
      {5, 2, 3, 2, "/a/0.gif", "/a/0.gif", {"2026-12-01"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.saves) + " saves, " + std::to_string(c.perPage) +
                 " a page, page " + std::to_string(c.page));
    const TArchivePages pages(HourlySaves(c.saves), c.perPage);
    EXPECT_EQ(pages.PictureCount(), c.saves);
    EXPECT_EQ(pages.PageCount(), c.pages);
    const std::vector<TArchiveDay> page = pages.Page(c.page);
    const std::vector<std::string> paths = Paths(page);
    EXPECT_EQ(Headings(page), c.headings);
    EXPECT_EQ(paths.empty() ? "" : paths.front(), c.firstPath);
    EXPECT_EQ(paths.empty() ? "" : paths.back(), c.lastPath);
  }
  EXPECT_EQ(TArchivePages("").PageText(0), "Nothing saved yet");
  EXPECT_EQ(TArchivePages(HourlySaves(100)).PageText(2),
            "Page 3 of 3 (100 pictures, newest first)");
}

TEST(ArchivePages, ShowsAPathSavedTwiceOnceAtItsLatestTimeAndSkipsLinesThatAreNoSave) {
  const std::string bytes =
      "2026-12-07 23:59:59 UTC\t/c/fixed.gif\n"
      "an operator's note\n"
      "2026-12-08 00:00:00 UTC\t/c/a.gif\n"
      "2026-12-08 06:00:00 UTC\t/c/fixed.gif\n"
      "2026-12-08 06:00:00 UTC\t/c/b.gif\n"  // same second: the later line is newer
      "2026-12-07 12:00:00 UTC\t/c/fixed.gif\n"
      "2026-12-07 23:59:59 UTC\t/c/c.gif";
  const TArchivePages pages(bytes);
  EXPECT_EQ(pages.PictureCount(), 4);
  EXPECT_EQ(pages.Page(0),
            (std::vector<TArchiveDay>{
                {"2026-12-08",
                 {{EncodeDateTime({2026, 12, 8, 6}), "/c/b.gif"},
                  {EncodeDateTime({2026, 12, 8, 6}), "/c/fixed.gif"},
                  {EncodeDateTime({2026, 12, 8}), "/c/a.gif"}}},
                {"2026-12-07", {{EncodeDateTime({2026, 12, 7, 23, 59, 59}), "/c/c.gif"}}}}));
}
