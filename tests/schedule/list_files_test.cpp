#include "schedule/list_files.h"

#include <gtest/gtest.h>

#include <random>

#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "runtime/text_file.h"
#include "tests/support/temp_dir.h"

namespace {

ScheduleEvent Event(std::string time, std::string neg, std::string name, std::string url,
                    std::string print, std::string filename) {
  return {{std::move(time), std::move(neg), std::move(name), std::move(url), std::move(print),
           std::move(filename)}};
}

ResourceEntry Entry(std::array<std::string, kResourceColumnCount> columns) {
  return {columns};
}

}  // namespace

TEST(ScheduleEventLine, FieldsStandAtTheirPositions) {
  const std::string url(30, 'u');
  const std::string line = Event("0930", "y", "Radar", url, "n", "chart.gif").ToLine();
  const std::string expected = "0930 y Radar" + std::string(59 - 12, ' ') + url +
                               std::string(199 - 89, ' ') + "n " + "chart.gif";
  EXPECT_EQ(line.size(), 210u);
  EXPECT_EQ(line, expected);
  EXPECT_EQ(line.substr(59, 30), url);  // positions 60-89
  EXPECT_EQ(line[199], 'n');            // position 200
  EXPECT_EQ(line.substr(201), "chart.gif");
}

TEST(ScheduleEventLine, TrailingBlanksAreNeverWritten) {
  EXPECT_EQ(Event("", "", "", "", "", "").ToLine(), "");
  const std::string withPrint = Event("0930", "", "", "http://a/b.gif", "n", "").ToLine();
  EXPECT_EQ(withPrint.size(), 200u);
  EXPECT_EQ(withPrint.back(), 'n');
  const std::string withUrl = Event("0930", "", "", "http://a/b.gif", "", "").ToLine();
  EXPECT_EQ(withUrl.size(), 59u + 14u);
  EXPECT_EQ(withUrl.substr(59), "http://a/b.gif");
}

TEST(ScheduleEventLine, LongCellsAreCutToTheirWrittenWidth) {
  const std::string line = Event("093000", "yes", std::string(60, 'r'), std::string(150, 'u'),
                                 "nn!", std::string(300, 'f'))
                               .ToLine();
  EXPECT_EQ(line.size(), 456u);
  EXPECT_EQ(line.substr(0, 7), "09300ye");
  EXPECT_EQ(line.substr(7, 52), std::string(52, 'r'));
  EXPECT_EQ(line.substr(199, 2), "nn");
  EXPECT_EQ(line.substr(201), std::string(255, 'f'));
}

TEST(ScheduleEventRead, ReaderTakesLessOfTimeNegAndResourceName) {
  // Neg "ye" is written at 6-7 and read back as its flag character; a 52-character
  // Resource name comes back with 50.
  const std::string name52(52, 'R');
  const std::string line = Event("0930", "ye", name52, "http://x/y.gif", "n", "out.bmp").ToLine();
  EXPECT_EQ(line.substr(5, 2), "ye");
  const std::vector<ScheduleEvent> events = ReadScheduleEvents({line});
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], Event("0930", "y", std::string(50, 'R'), "http://x/y.gif", "n", "out.bmp"));

  const std::string name51 = std::string(50, 'a') + "b";
  EXPECT_EQ(ReadScheduleEvents({Event("0930", "", name51, "", "", "").ToLine()})[0]
                .fields[sfResourceName],
            std::string(50, 'a'));
  // A fifth Time character is not read either.
  EXPECT_EQ(ReadScheduleEvents({"09305"})[0].fields[sfTime], "0930");
}

TEST(ScheduleEventRead, ShortLinesAreSkippedAndMissingFieldsEmpty) {
  const std::vector<ScheduleEvent> events =
      ReadScheduleEvents({"093", "", "0930", "1000 y Short name", "   ", "    "});
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0], Event("0930", "", "", "", "", ""));
  EXPECT_EQ(events[1], Event("1000", "y", "Short name", "", "", ""));
  EXPECT_EQ(events[2], Event("", "", "", "", "", ""));
}

TEST(ScheduleEventRead, CellsAreTrimmedOfEveryBlank) {
  std::string line = Event("0930", "", "", "", "", "").ToLine();
  line += std::string(55, ' ') + "\t http://a/b.gif \x01";
  EXPECT_EQ(ReadScheduleEvents({line})[0].fields[sfURL], "http://a/b.gif");
}

TEST(ResourceEntryLine, ColumnsStandAtTheirPositions) {
  const std::string line =
      Entry({"Europe", "Chart", "1:10", "00", "Met", "Surface", "y", "http://a/c.gif"}).ToLine();
  EXPECT_EQ(line,
            "Europe      Chart1:10  00   Met      " + FixWidth("Surface", 40) + "y http://a/c.gif");
}

TEST(ResourceEntryRead, LinesOfTenCharactersOrFewerAreSkipped) {
  const std::vector<ResourceEntry> entries =
      ReadResourceEntries({"abcdefghij", "  abcdefghij \t", "abcdefghijk", ""});
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0], Entry({"abcdefghijk"}));
}

TEST(ResourceEntryRead, NegIsOneCharacterAndTheNameFortyAtMost) {
  const std::string line =
      Entry({"a", "b", "c", "d", "e", std::string(45, 'N'), "yes", "http://a/c.gif"}).ToLine();
  EXPECT_EQ(ReadResourceEntries({line})[0],
            Entry({"a", "b", "c", "d", "e", std::string(40, 'N'), "y", "http://a/c.gif"}));
}

TEST(ResourceEntryRead, AnEmptyFirstColumnKeepsTheOthersInPlace) {
  const ResourceEntry entry = Entry({"", "Chart", "", "", "", "Surface", "n", "http://a/c.gif"});
  const std::string line = entry.ToLine();
  EXPECT_EQ(line.substr(0, 12), std::string(12, ' '));
  EXPECT_EQ(ReadResourceEntries({line}), std::vector<ResourceEntry>{entry});
  // The schedule reader cuts from the line as it is, too.
  const ScheduleEvent event = Event("", "y", "Radar", "http://a/r.gif", "", "");
  EXPECT_EQ(ReadScheduleEvents({event.ToLine()}), std::vector<ScheduleEvent>{event});
}

namespace {

// Text of up to width characters that survives trimming: blanks (spaces and a tab) only
// inside.
std::string RandomCell(std::mt19937& random, size_t width) {
  static const std::string kCharacters = "abcXYZ019:/.-_@ \t\xE9\xFF";
  std::string cell(std::uniform_int_distribution<size_t>(0, width)(random), ' ');
  for (char& c : cell) c = kCharacters[random() % kCharacters.size()];
  return Trim(cell);
}

template <class Row, size_t N>
Row RandomRow(std::mt19937& random, const std::array<size_t, N>& readWidths) {
  Row row;
  for (size_t i = 0; i < N; ++i)
    if (random() % 3 != 0) row.fields[i] = RandomCell(random, readWidths[i]);
  return row;
}

}  // namespace

TEST(ListFiles, RandomRowsWithinTheWidthsSurviveWriteAndRead) {
  std::mt19937 random(20240307);
  std::vector<ScheduleEvent> events, keptEvents;
  std::vector<ResourceEntry> entries, keptEntries;
  for (int i = 0; i < 400; ++i) {
    events.push_back(
        RandomRow<ScheduleEvent>(random, std::array<size_t, 6>{4, 1, 50, 140, 2, 255}));
    if (events.back().ToLine().size() >= kMinimumScheduleLine) keptEvents.push_back(events.back());
    entries.push_back(
        RandomRow<ResourceEntry>(random, std::array<size_t, 8>{12, 5, 6, 5, 9, 40, 1, 255}));
    if (Trim(entries.back().ToLine()).size() > kMaximumSkippedResourceLine)
      keptEntries.push_back(entries.back());
  }
  ASSERT_GT(keptEvents.size(), 300u);
  ASSERT_GT(keptEntries.size(), 300u);

  TempDir dir;
  SaveListFiles(dir.Path(), events, entries);
  EXPECT_EQ(LoadScheduleFile(dir.File("schedule.txt")), keptEvents);
  EXPECT_EQ(LoadResourceFile(dir.File("resource.txt")), keptEntries);
}

TEST(ListFiles, SavedLinesEndInCrLf) {
  TempDir dir;
  SaveListFiles(dir.Path(), {Event("0930", "y", "R", "", "", ""), Event("", "", "", "", "", "")},
                {Entry({"Titles"})});
  EXPECT_EQ(ReadWholeFile(dir.File("schedule.txt")), "0930 y R\r\n\r\n");
  EXPECT_EQ(ReadWholeFile(dir.File("resource.txt")), "Titles\r\n");
}

TEST(ListFiles, MissingFilesRaiseTheRuntimesFileError) {
  TempDir dir;
  EXPECT_THROW(LoadScheduleFile(dir.File("schedule.txt")), EFOpenError);
  EXPECT_THROW(LoadResourceFile(dir.File("resource.txt")), EFOpenError);
}
