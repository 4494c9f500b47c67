#include "program/jpeg_quality.h"

#include <gtest/gtest.h>

#include "runtime/exceptions.h"
#include "runtime/text_file.h"
#include "tests/support/temp_dir.h"

TEST(JPEGQuality, FirstLineReadAsANumberWithinZeroToHundred) {
  EXPECT_EQ(JPEGQualityFromLine("75"), 75);
  EXPECT_EQ(JPEGQualityFromLine("100"), 100);
  EXPECT_EQ(JPEGQualityFromLine("0"), 0);
  EXPECT_EQ(JPEGQualityFromLine("  +42"), 42);
  // Out of range saves at the lowest quality, not at the nearest bound.
  EXPECT_EQ(JPEGQualityFromLine("101"), 0);
  EXPECT_EQ(JPEGQualityFromLine("-5"), 0);
  EXPECT_EQ(JPEGQualityFromLine("99999999999999999999999"), 0);
  EXPECT_EQ(JPEGQualityFromLine(""), 0);
  EXPECT_EQ(JPEGQualityFromLine("high"), 0);
}

TEST(JPEGQuality, DigitsUpToTheFirstOtherCharacterAndHexadecimal) {
  EXPECT_EQ(JPEGQualityFromLine("75abc"), 75);
  EXPECT_EQ(JPEGQualityFromLine("80 percent"), 80);
  EXPECT_EQ(JPEGQualityFromLine("$1F"), 31);
  EXPECT_EQ(JPEGQualityFromLine("0x10"), 16);
  EXPECT_EQ(JPEGQualityFromLine("$65"), 0);  // 101
}

TEST(JPEGQuality, ReadsTheFilesFirstLineAfreshEachTime) {
  TempDir dir;
  const std::string file = dir.File(kJPEGQualityFileName);
  WriteTextFile(file, {"75", "20"});
  EXPECT_EQ(ReadJPEGQuality(file), 75);
  WriteTextFile(file, {"30"});
  EXPECT_EQ(ReadJPEGQuality(file), 30);
  WriteWholeFile(file, "");
  EXPECT_EQ(ReadJPEGQuality(file), 0);
}

TEST(JPEGQuality, MissingFileRaisesTheFileErrorAndIsNotCreated) {
  TempDir dir;
  const std::string file = dir.File(kJPEGQualityFileName);
  try {
    ReadJPEGQuality(file);
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + file);
  }
  EXPECT_FALSE(FileExists(file));
}

TEST(JPEGQuality, TheDialogAcceptsOnlyWholeNumbersFromZeroToHundred) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"0", 0},
      {"75", 75},
      {" 100 ", 100},
      {"007", 7},
      {"101", std::nullopt},
      {"-5", std::nullopt},
      {"+42", std::nullopt},
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"60 or so", std::nullopt},
      {"7.5", std::nullopt},
      {"0x10", std::nullopt},
      {"$1F", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(JPEGQualityFromDialog(text), expected) << text;
}
