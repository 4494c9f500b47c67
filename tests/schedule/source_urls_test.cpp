#include "schedule/source_urls.h"

#include <gtest/gtest.h>

#include "runtime/exceptions.h"

// Failures name the cells, not the bytes.
void PrintTo(const TUrlColumn& column, std::ostream* out) {
  *out << ::testing::PrintToString(column.cells) << " (" << column.width << " wide)";
}

namespace {

using Urls = std::vector<std::string>;
using Columns = std::vector<TUrlColumn>;

// The editor's two grids: resources keep 255 characters of a URL, the schedule 140.
Columns Grids(Urls resources, Urls schedule) {
  return {{std::move(resources), 255}, {std::move(schedule), 140}};
}

TEST(SourceUrlsTest, EachUrlOnceInGridOrderWithoutBlanksOrEmptyRows) {
  struct TCase {
    const char* what;
    Columns columns;
    Urls urls;
  };
  const std::vector<TCase> cases{
      {"no rows", Grids({}, {}), {}},
      {"empty and blank rows", Grids({"", "  "}, {"\t"}), {}},
      {"resources first, then the schedule",
       Grids({"http://m/b.gif", "http://m/a.gif"}, {"http://s/c.gif"}),
       {"http://m/b.gif", "http://m/a.gif", "http://s/c.gif"}},
      {"a URL in both grids and twice in one",
       Grids({"http://m/a.gif", "", "http://m/a.gif"}, {"http://s/c.gif", "http://m/a.gif"}),
       {"http://m/a.gif", "http://s/c.gif"}},
      {"blanks around a URL, as the list files drop them",
       Grids({" http://m/a.gif "}, {"http://m/a.gif"}),
       {"http://m/a.gif"}},
      {"letter case makes another URL",
       Grids({"http://m/A.gif", "http://m/a.gif"}, {}),
       {"http://m/A.gif", "http://m/a.gif"}},
  };
  for (const TCase& c : cases) EXPECT_EQ(SourceUrls(c.columns), c.urls) << c.what;
}

TEST(SourceUrlsTest, ReplacingAMovedUrlChangesEveryRowOfBothGridsThatHadIt) {
  struct TCase {
    const char* what;
    Columns before;
    std::string oldUrl;
    std::string newUrl;
    Columns after;  // equal to before when the rewrite is refused
    int changed;    // -1: refused
  };
  const std::string moved = "https://new/a.gif";
  const std::string longUrl = "https://new/" + std::string(140, 'x');
  const std::vector<TCase> cases{
      {"rows in both grids",
       Grids({"http://m/a.gif", "http://m/b.gif", "http://m/a.gif"}, {"", "http://m/a.gif"}),
       "http://m/a.gif", moved, Grids({moved, "http://m/b.gif", moved}, {"", moved}), 3},
      {"a row typed with blanks around the URL", Grids({" http://m/a.gif"}, {}), "http://m/a.gif",
       moved, Grids({moved}, {}), 1},
      {"no row has the URL any more", Grids({"http://m/b.gif"}, {""}), "http://m/a.gif", moved,
       Grids({"http://m/b.gif"}, {""}), 0},
      {"a longer URL that starts with it stays", Grids({"http://m/a.gif?x=1"}, {}),
       "http://m/a.gif", moved, Grids({"http://m/a.gif?x=1"}, {}), 0},
      {"an empty URL matches no empty row", Grids({"", " "}, {""}), "", moved,
       Grids({"", " "}, {""}), 0},
      {"too long for the schedule, which has it", Grids({"http://m/a.gif"}, {"http://m/a.gif"}),
       "http://m/a.gif", longUrl, Grids({"http://m/a.gif"}, {"http://m/a.gif"}), -1},
      {"too long for the schedule, which has it not", Grids({"http://m/a.gif"}, {"http://b"}),
       "http://m/a.gif", longUrl, Grids({longUrl}, {"http://b"}), 1},
  };
  for (const TCase& c : cases) {
    Columns columns = c.before;
    if (c.changed < 0)
      EXPECT_THROW(ReplaceSourceUrl(columns, c.oldUrl, c.newUrl), Exception) << c.what;
    else
      EXPECT_EQ(ReplaceSourceUrl(columns, c.oldUrl, c.newUrl), c.changed) << c.what;
    EXPECT_EQ(columns, c.after) << c.what;
  }
}

}  // namespace
