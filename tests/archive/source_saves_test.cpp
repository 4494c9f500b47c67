#include "archive/source_saves.h"

#include <gtest/gtest.h>

TEST(SourceSaves, APathIsTheTargetWithDigitsForItsDateCodes) {
  const struct {
    const char* target;
    const char* path;
    bool saved;
  } cases[] = {
      {"/d/chart@Y@M@D@H@N.gif", "/d/chart2612081015.gif", true},
      {"/d/chart@Y@M@D@H@N.gif", "/d/chart261208101.gif", false},  // a digit short
      {"/d/chart@Y@M@D@H@N.gif", "/d/chart26120810155.gif", false},
      {"/d/chart@Y@M@D@H@N.gif", "/d/chartAB12081015.gif", false},
      {"/d/chart@Y@M@D@H@N.gif", "/e/chart2612081015.gif", false},
      {"/d/chart@H.gif", "/d/chart10.bmp", false},
      {"charts/x@H.bmp", "/p/charts/x10.bmp", true},  // relative: in the program folder
      {"charts/x@H.bmp", "/q/charts/x10.bmp", false},
      {"/d/a@X.bmp", "/d/a(08) 10:15:05.bmp", true},
      {"/d/a@X.bmp", "/d/a(08)_10:15:05.bmp", false},
      {"/d/a@qb.gif", "/d/ab.gif", true},  // no code: the mark and its letter go
      {"/d/a.gif@", "/d/a.gif", true},
      {"/d/fixed.gif", "/d/fixed.gif", true},
      {"", "/p/", false},
  };
  for (const auto& each : cases)
    EXPECT_EQ(SavedByTarget(each.path, each.target, "/p/"), each.saved)
        << each.target << " " << each.path;
}

TEST(SourceSaves, TheNewestOfOneTargetOldestFirst) {
  std::vector<TSavedFile> saves;
  for (int hour = 10; hour < 15; ++hour) {
    const TDateTime at = EncodeDateTime({2026, 12, 8, hour, 0, 0});
    saves.push_back({at, "/d/radar" + std::to_string(hour) + ".gif"});
    saves.push_back({at, "/d/sat" + std::to_string(hour) + ".gif"});
  }
  const std::vector<TSavedFile> newest = NewestSavesOf(saves, "/d/radar@H.gif", "/p/", 3);
  ASSERT_EQ(newest.size(), 3u);
  EXPECT_EQ(newest[0].path, "/d/radar12.gif");
  EXPECT_EQ(newest[2].path, "/d/radar14.gif");
  EXPECT_EQ(NewestSavesOf(saves, "/d/sat@H.gif", "/p/", 20).size(), 5u);
}
