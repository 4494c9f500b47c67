#include "runtime/strings.h"

#include <gtest/gtest.h>

#include "runtime/conversion.h"
#include "runtime/exceptions.h"

TEST(Strings, CopyCountsFromOneAndClipsAtTheEnds) {
  EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Copy("abcdef", 5, 10), "ef");
  EXPECT_EQ(Copy("abcdef", 7, 1), "");
  EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
  EXPECT_EQ(Copy("abc", 2, -1), "");
}

TEST(Strings, PosAndTrimWithControlCharactersAsBlanks) {
  EXPECT_EQ(Pos("@", "a@b@"), 2);
  EXPECT_EQ(Pos("z", "abc"), 0);
  EXPECT_EQ(Trim(" \t\x01 x y\r "), "x y");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x "), "  x");
  EXPECT_EQ(Trim("\xA0x"), "\xA0x");  // a byte above 127 is no blank
}

TEST(Strings, FixedWidthCaseAndDigits) {
  EXPECT_EQ(FixWidth("ab", 4), "ab  ");
  EXPECT_EQ(FixWidth("abcdef", 4), "abcd");
  EXPECT_EQ(UpperCase("aZ\xE4"), "AZ\xE4");
  EXPECT_EQ(LowerCase("N"), "n");
  EXPECT_EQ(TwoDigits(7), "07");
  EXPECT_EQ(TwoDigits(123), "123");
}

TEST(Strings, FileNameParts) {
  EXPECT_EQ(ExtractFileExt("/a.b/c.GIF"), ".GIF");
  EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
  EXPECT_EQ(ExtractFilePath("/x/y/z.txt"), "/x/y/");
  EXPECT_EQ(ExtractFileName("/x/y/z.txt"), "z.txt");
  EXPECT_EQ(ExtractFileName("plain"), "plain");
}

TEST(Conversion, PrefixNumbersOfTheRuntime) {
  EXPECT_EQ(StrToIntPrefix("75"), 75);
  EXPECT_EQ(StrToIntPrefix("   75abc"), 75);
  EXPECT_EQ(StrToIntPrefix("-5"), -5);
  EXPECT_EQ(StrToIntPrefix("+12"), 12);
  EXPECT_EQ(StrToIntPrefix("$1F"), 31);
  EXPECT_EQ(StrToIntPrefix("0x10"), 16);
  EXPECT_EQ(StrToIntPrefix(""), 0);
  EXPECT_EQ(StrToIntPrefix("abc"), 0);
  EXPECT_EQ(StrToIntPrefix("\t5"), 0);  // only spaces are skipped
  EXPECT_EQ(StrToIntPrefix("99999999999999999999999"), INT64_MAX);
}

TEST(Conversion, StrToIntNeedsTheWholeText) {
  EXPECT_EQ(StrToInt(" 42 "), 42);
  try {
    StrToInt("4x");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'4x' is not a valid integer value");
  }
  EXPECT_THROW(StrToInt(""), EConvertError);
}
