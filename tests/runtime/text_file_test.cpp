#include "runtime/text_file.h"

#include <gtest/gtest.h>

#include "runtime/exceptions.h"
#include "tests/support/temp_dir.h"

using Lines = std::vector<std::string>;

TEST(TextFile, LineEndsOfEveryKind) {
  EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\rb\r"), (Lines{"a", "b"}));
  // Linux editors write LF alone; it must end a line too.
  EXPECT_EQ(SplitTextLines("a\nb\n"), (Lines{"a", "b"}));
  // Only one LF after a CR belongs to its line end.
  EXPECT_EQ(SplitTextLines("a\r\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("a\n\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("\r\n\r\n"), (Lines{"", ""}));
}

TEST(TextFile, LastLineWithoutLineEndAndEmptyText) {
  EXPECT_EQ(SplitTextLines("one\r\ntwo"), (Lines{"one", "two"}));
  EXPECT_EQ(SplitTextLines(""), Lines{});
}

TEST(TextFile, Code26EndsTheFile) {
  EXPECT_EQ(SplitTextLines("a\r\nb\x1A\r\nc\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitTextLines("\x1A"
                           "abc"),
            Lines{});
}

TEST(TextFile, KeepsBlanksAndControlCharacters) {
  EXPECT_EQ(SplitTextLines("  x \t\r\n"), (Lines{"  x \t"}));
}

TEST(TextFile, WritesCrLfAndReadsBack) {
  TempDir dir;
  WriteTextFile(dir.File("t.txt"), {"first", "", "third  "});
  EXPECT_EQ(ReadWholeFile(dir.File("t.txt")), "first\r\n\r\nthird  \r\n");
  EXPECT_EQ(ReadTextFile(dir.File("t.txt")), (Lines{"first", "", "third  "}));
  EXPECT_EQ(ReadFirstLine(dir.File("t.txt")), "first");
}

TEST(TextFile, MissingFileRaisesTheRuntimesFileError) {
  TempDir dir;
  try {
    ReadTextFile(dir.File("schedule.txt"));
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + dir.File("schedule.txt"));
  }
}
