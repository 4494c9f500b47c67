#include "schedule/row_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

struct TRow {
  std::string key;
  int tag;
};

// Sorts rows[1..] as the editor sorts a grid below its title row.
void SortRows(std::vector<TRow>& rows) {
  QuickSortRows(
      1, static_cast<int>(rows.size()) - 1, [&rows](int row) { return rows[row].key; },
      [&rows](int first, int second) { std::swap(rows[first], rows[second]); });
}

std::vector<int> Tags(const std::vector<TRow>& rows) {
  std::vector<int> tags;
  for (const TRow& row : rows) tags.push_back(row.tag);
  return tags;
}

}  // namespace

TEST(RowSort, OrdersByCharacterCodesAndLeavesTheTitleRow) {
  std::vector<TRow> rows = {{"Time", 0},      {"2359", 1}, {"0005", 2}, {"b", 3},
                            {"\xE9t\xE9", 4}, {"0930", 5}, {"B", 6},    {"", 7}};
  SortRows(rows);
  // Upper case before lower case, bytes above 127 after both.
  EXPECT_EQ(Tags(rows), (std::vector<int>{0, 7, 2, 5, 1, 6, 3, 4}));
}

TEST(RowSort, EqualTextsEndInTheQuicksortsOrder) {
  // Worked through by hand: the middle row's "a" is the first pivot, rows 1 and 4 are
  // exchanged, then rows 3 and 4 of the right part. A stable sort would give 2 4 1 3.
  std::vector<TRow> rows = {{"title", 0}, {"b", 1}, {"a", 2}, {"b", 3}, {"a", 4}};
  SortRows(rows);
  EXPECT_EQ(Tags(rows), (std::vector<int>{0, 4, 2, 1, 3}));
}

TEST(RowSort, SortsLargeInputsOfEveryShape) {
  std::mt19937 random(7);
  for (int shape = 0; shape < 4; ++shape) {
    std::vector<TRow> rows = {{"title", -1}};
    for (int i = 0; i < 5000; ++i) {
      const int value = shape == 0 ? i : shape == 1 ? 5000 - i : shape == 2 ? 7 : random() % 100;
      rows.push_back({std::to_string(value), i});
    }
    std::vector<TRow> expected = rows;
    SortRows(rows);
    EXPECT_EQ(rows[0].tag, -1);
    EXPECT_TRUE(std::is_sorted(rows.begin() + 1, rows.end(),
                               [](const TRow& a, const TRow& b) { return a.key < b.key; }));
    std::vector<int> tags = Tags(rows);
    std::sort(tags.begin(), tags.end());
    EXPECT_EQ(tags, Tags(expected)) << "rows lost or doubled";
  }
}

TEST(RowSort, NothingToSortInEmptyOrSingleRowGrids) {
  int exchanges = 0;
  const auto text = [](int) { return std::string("x"); };
  const auto exchange = [&exchanges](int, int) { ++exchanges; };
  QuickSortRows(1, 0, text, exchange);
  QuickSortRows(1, 1, text, exchange);
  EXPECT_EQ(exchanges, 0);
}
