#include "archive/archive.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "archive/saved_list.h"
#include "program/event_log.h"
#include "runtime/exceptions.h"
#include "runtime/text_file.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

namespace {

const TDateTime kNow = EncodeDateTime({2026, 12, 8, 12, 0, 0});

// A picture in the program folder and how the list and the disk know it.
struct TSavedPicture {
  std::string name;
  double savedDaysAgo;
  int kilobytes = 1;
  bool listed = true;
  bool changedAfterSave = false;
};

struct TPruneCase {
  const char* title;
  std::optional<std::string> policy;  // archive.txt; none: the file is absent
  std::vector<TSavedPicture> pictures;
  std::set<std::string> deleted;
};

TDateTime DaysAgo(double days) {
  return {kNow.ms - static_cast<int64_t>(days * kMillisecondsPerDay)};
}

void SetModified(const std::string& fileName, TDateTime utc) {
  const int64_t unixSeconds = (utc.ms - DateTimeFromUnixSeconds(0).ms) / 1000;
  const timespec times[2] = {{unixSeconds, 0}, {unixSeconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, fileName.c_str(), times, 0), 0) << std::strerror(errno);
}

class TArchiveFolder {
 public:
  TArchiveFolder()
      : log_(dir_.File("isoview.log"), clock_), archive_(dir_.Path(), log_, clock_, zone_) {}

  void Add(const TSavedPicture& picture) {
    const std::string path = dir_.File(picture.name);
    const TDateTime saved = DaysAgo(picture.savedDaysAgo);
    WriteWholeFile(path, std::string(picture.kilobytes * 1024, 'x'));
    SetModified(path, picture.changedAfterSave ? TDateTime{saved.ms + 1000} : saved);
    if (picture.listed) {
      ASSERT_TRUE(RecordSave(List(), {{saved.ms - saved.ms % 1000}, path}));
    }
  }
  std::string List() const { return dir_.File("saved.txt"); }
  const TempDir& Dir() const { return dir_; }
  FakeClock& Clock() { return clock_; }
  TArchive& Archive() { return archive_; }
  std::vector<std::string> LogLines() const { return ReadTextFile(dir_.File("isoview.log")); }
  std::vector<std::string> LogLinesWith(const std::string& text) const {
    std::vector<std::string> found;
    if (!FileExists(dir_.File("isoview.log"))) return found;
    for (const std::string& line : LogLines())
      if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
  }

 private:
  TempDir dir_;
  FakeClock clock_{kNow};
  FakeTimeZone zone_{{tzsStandard, 0, 0, 0}};
  TEventLog log_;
  TArchive archive_;
};

}  // namespace

TEST(Archive, PrunesOldestFirstByAgeOrSizeAndNeverAnythingUnlistedOrChanged) {
  const std::vector<TPruneCase> cases = {
      {"no policy keeps everything", std::nullopt, {{"a.gif", 400}, {"b.gif", 1}}, {}},
      {"an empty policy keeps everything", "", {{"a.gif", 400}}, {}},
      {"by age: older than the days only",
       "keep-days 7",
       {{"a.gif", 10}, {"b.gif", 7.5}, {"c.gif", 6.99}, {"d.gif", 0}},
       {"a.gif", "b.gif"}},
      {"by size: oldest first until the rest fits",
       "keep-megabytes 1",
       {{"a.gif", 3, 400}, {"b.gif", 2, 400}, {"c.gif", 1, 400}, {"d.gif", 0, 400}},
       {"a.gif", "b.gif"}},
      {"either limit deletes",
       "keep-days 5\nkeep-megabytes 1",
       {{"a.gif", 9, 10}, {"b.gif", 2, 700}, {"c.gif", 1, 700}},
       {"a.gif", "b.gif"}},
      {"unlisted and changed files stay and a changed one counts no size",
       "keep-days 1\nkeep-megabytes 1",
       {{"unlisted.gif", 30, 900, false},
        {"changed.gif", 20, 900, true, true},
        {"old.gif", 10},
        {"new.gif", 0, 900}},
       {"old.gif"}},
      {"the program's own files stay even when listed",
       "keep-days 1",
       {{"schedule.txt", 30}, {"isoview.log.1", 30}, {"jpegcomp.txt", 30}, {"chart.gif", 30}},
       {"chart.gif"}},
      {"a policy that does not parse deletes nothing",
       "keep-days 1\nkeep-days 0",
       {{"a.gif", 30}},
       {}},
  };
  for (const TPruneCase& c : cases) {
    SCOPED_TRACE(c.title);
    TArchiveFolder folder;
    if (c.policy) WriteWholeFile(folder.Dir().File("archive.txt"), *c.policy);
    for (const TSavedPicture& picture : c.pictures) folder.Add(picture);
    const std::vector<TSavedListLine> before = ParseSavedList(ReadWholeFile(folder.List()));
    folder.Archive().Prune();
    std::set<std::string> deletedPaths;
    for (const TSavedPicture& picture : c.pictures) {
      const bool deleted = c.deleted.contains(picture.name);
      EXPECT_EQ(FileExists(folder.Dir().File(picture.name)), !deleted) << picture.name;
      if (deleted) deletedPaths.insert(folder.Dir().File(picture.name));
      EXPECT_EQ(folder.LogLinesWith("deleted " + folder.Dir().File(picture.name)).size(),
                deleted ? 1u : 0u);
    }
    EXPECT_EQ(ReadWholeFile(folder.List()), SavedListWithout(before, deletedPaths));
  }
}

TEST(Archive, APathSavedAgainIsKeptByItsLatestSaveAndListedOnceAfterARewrite) {
  TArchiveFolder folder;
  WriteWholeFile(folder.Dir().File("archive.txt"), "keep-days 7\n");
  folder.Add({"a.gif", 20});
  folder.Add({"old.gif", 9});
  folder.Add({"a.gif", 1});
  folder.Archive().Prune();
  EXPECT_TRUE(FileExists(folder.Dir().File("a.gif")));
  EXPECT_FALSE(FileExists(folder.Dir().File("old.gif")));
  EXPECT_EQ(ReadWholeFile(folder.List()), SavedListLine({DaysAgo(1), folder.Dir().File("a.gif")}));
}

TEST(Archive, AFileGoneMeanwhileStaysListedAndABadPolicyIsLoggedOnceUntilItChanges) {
  TArchiveFolder folder;
  folder.Add({"gone.gif", 30});
  folder.Add({"old.gif", 30});
  std::remove(folder.Dir().File("gone.gif").c_str());
  WriteWholeFile(folder.Dir().File("archive.txt"), "keep-days seven\n");
  folder.Archive().Prune();
  folder.Archive().Prune();
  EXPECT_EQ(folder.LogLinesWith("archive.txt line 1: keep-days needs").size(), 1u);
  EXPECT_TRUE(FileExists(folder.Dir().File("old.gif")));
  WriteWholeFile(folder.Dir().File("archive.txt"), "keep-days 7\n");
  folder.Archive().Prune();
  EXPECT_FALSE(FileExists(folder.Dir().File("old.gif")));
  EXPECT_EQ(ReadWholeFile(folder.List()),
            SavedListLine({DaysAgo(30), folder.Dir().File("gone.gif")}));
}

TEST(Archive, PrunesOnceAnHourByTheClockAndAfterAFullDiskOnly) {
  TArchiveFolder folder;
  WriteWholeFile(folder.Dir().File("archive.txt"), "keep-days 7\n");
  const auto saveOld = [&](const std::string& name) {
    folder.Add({name, 30});
    return folder.Dir().File(name);
  };
  const std::string first = saveOld("first.gif");
  folder.Archive().PruneWhenDue();
  EXPECT_FALSE(FileExists(first)) << "the first tick prunes";
  const std::string second = saveOld("second.gif");
  folder.Clock().AdvanceMinutes(59);
  folder.Archive().PruneWhenDue();
  EXPECT_TRUE(FileExists(second)) << "within the hour";
  folder.Archive().PruneAfterFailedSave(EACCES);
  EXPECT_TRUE(FileExists(second)) << "a failure that is no full disk";
  folder.Archive().PruneAfterFailedSave(ENOSPC);
  EXPECT_FALSE(FileExists(second)) << "a full disk prunes at once";
  const std::string third = saveOld("third.gif");
  folder.Clock().AdvanceMinutes(-1);
  folder.Archive().PruneWhenDue();
  EXPECT_FALSE(FileExists(third)) << "a clock set back prunes";
  const std::string fourth = saveOld("fourth.gif");
  folder.Clock().AdvanceMinutes(60);
  folder.Archive().PruneWhenDue();
  EXPECT_FALSE(FileExists(fourth)) << "an hour later";
}
