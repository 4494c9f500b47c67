#pragma once
// One line of "resource.txt": a known image source. The file's first line holds the
// editor's column titles in the same layout.

#include <array>
#include <string>
#include <vector>

// Columns 1-5 are descriptive text of the file's author; the program never interprets
// them.
enum TResourceColumn { rcText1, rcText2, rcText3, rcText4, rcText5, rcResourceName, rcNeg, rcURL };
inline constexpr int kResourceColumnCount = 8;
// The most characters of a URL the file keeps.
inline constexpr size_t kResourceUrlWidth = 255;

// The column titles a new resource list gets; the file's own title row may differ.
inline constexpr std::array<const char*, kResourceColumnCount> kResourceTitles = {
    "Region", "Type", "Scale", "Hours", "Source", "Name", "N", "URL"};

struct ResourceEntry {
  std::array<std::string, kResourceColumnCount> fields;

  // The line as written: columns of 12, 5, 6, 5, 9, 40, 2 and 255 characters, without
  // trailing blanks.
  std::string ToLine() const;
  // Why the row cannot be saved as it is, or empty: its Name and URL may not be longer than
  // what their columns give back when read (the descriptive columns are never read by the
  // program, and are cut as they always were).
  std::string Problem() const;

  bool operator==(const ResourceEntry&) const = default;
};

// The editor's reading: a line of kMaximumSkippedResourceLine characters or fewer between
// its first and last non-blank character is skipped; the others give the eight columns
// (Neg is the one character at position 78), each trimmed. The first entry is the title
// row.
inline constexpr size_t kMaximumSkippedResourceLine = 10;
std::vector<ResourceEntry> ReadResourceEntries(const std::vector<std::string>& lines);
