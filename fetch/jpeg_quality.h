#pragma once
// The JPEG save quality, kept as the first line of "jpegcomp.txt" in the program folder.
// The program never creates the file: it must exist before a JPEG save or the menu
// command that edits it.

#include <string>

inline constexpr const char* kJPEGQualityFileName = "jpegcomp.txt";
inline constexpr int kLowestJPEGQuality = 0;
inline constexpr int kHighestJPEGQuality = 100;

// The number at the start of the line by the runtime's rules (leading spaces, sign,
// decimal or "$"/"0x" hexadecimal digits up to the first other character; none give 0).
// A value outside 0-100 gives 0, not the nearest bound.
int JPEGQualityFromLine(const std::string& line);

// Reads the file afresh, so a change counts from the next save. A missing or unreadable
// file raises the runtime's file error.
int ReadJPEGQuality(const std::string& fileName);
