#pragma once
// The list of saved pictures, "saved.txt" in the program folder: one line per save,
// "YYYY-MM-DD HH:MM:SS UTC<TAB>absolute path". The archive deletes only what it lists; a
// path saved again counts at its latest time only.

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/date_time.h"

inline constexpr const char* kSavedListFileName = "saved.txt";

struct TSavedFile {
  TDateTime savedAt;  // UTC, whole seconds
  std::string path;   // absolute
  friend bool operator==(const TSavedFile&, const TSavedFile&) = default;
};

// One line of the list as read; lines that are no save (damaged, edited by hand) are kept
// as they are, and never lead to a deletion.
struct TSavedListLine {
  std::string text;
  std::optional<TSavedFile> save;
};

std::vector<TSavedListLine> ParseSavedList(std::string_view bytes);

// The time of a stamp "YYYY-MM-DD HH:MM:SS UTC" as the list and the log write it; none
// for any other text or a date that does not exist.
std::optional<TDateTime> ParseUtcStamp(std::string_view text);

// The latest save of each path, oldest first; saves at the same time in the list's order.
std::vector<TSavedFile> LatestSaves(const std::vector<TSavedListLine>& lines);

// The list's bytes again without the lines of the deleted paths and without saves that a
// later one of the same path replaced; other lines stay, in their order.
std::string SavedListWithout(const std::vector<TSavedListLine>& lines,
                             const std::set<std::string>& deletedPaths);

// "YYYY-MM-DD HH:MM:SS UTC<TAB>path" and its line end.
std::string SavedListLine(const TSavedFile& save);

// Appends the save's line as one write. False when it could not be written, or when the
// path cannot be listed (not absolute, or holding a line break).
bool RecordSave(const std::string& listFileName, const TSavedFile& save);
