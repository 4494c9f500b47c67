#pragma once
// The JPEG save quality, kept as the first line of "jpegcomp.txt" in the program folder.
// The program never creates the file: it must exist before a JPEG save or the menu
// command that edits it.

#include <optional>
#include <string>

inline constexpr const char* kJPEGQualityFileName = "jpegcomp.txt";
inline constexpr int kLowestJPEGQuality = 0;
inline constexpr int kHighestJPEGQuality = 100;

// The number at the start of the line by the runtime's rules (leading spaces, sign,
// decimal or "$"/"0x" hexadecimal digits up to the first other character; none give 0).
// A value outside 0-100 gives 0, not the nearest bound.
int JPEGQualityFromLine(const std::string& line);

// What the dialog accepts: a whole number from 0 to 100, blanks around it allowed. Files
// written by hand keep the looser reading above.
inline constexpr const char* kJPEGQualityRangeMessage =
    "The JPEG quality must be a whole number from 0 to 100";
std::optional<int> JPEGQualityFromDialog(const std::string& text);

// Reads the file afresh, so a change counts from the next save. A missing or unreadable
// file raises the runtime's file error.
int ReadJPEGQuality(const std::string& fileName);
