#pragma once
// What the station remembers of each source (URL) across restarts, "sources.txt" in the
// program folder: how often it was given up, when last, and whether it has been failing
// since. One line per source, the URL and then "name=value" fields separated by tabs, so
// that later fields can be added; fields this version does not know are kept as they are.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "program/program_folder.h"
#include "runtime/date_time.h"

struct TSourceRecord {
  int giveUps = 0;
  std::optional<TDateTime> lastGiveUp;  // UTC, whole seconds
  // Given up, and not downloaded since: the source still counts as failing.
  bool failing = false;
  std::map<std::string, std::string> otherFields;  // written by a later version
  friend bool operator==(const TSourceRecord&, const TSourceRecord&) = default;
};

using TSourceRecords = std::map<std::string, TSourceRecord>;  // by URL

// The file's records; lines that are no record (comments, damage) are passed over.
TSourceRecords ParseSourceHistory(std::string_view bytes);
std::string SourceHistoryText(const TSourceRecords& records);

class TSourceHistory {
 public:
  // fileName: where the history is kept; empty keeps it in memory only.
  explicit TSourceHistory(std::string fileName = {}) : fileName_(std::move(fileName)) {}

  // Reads the file; a missing one is an empty history. Raises the runtime's file error
  // when it is there and cannot be read.
  void Load();
  // A line of the source was given up at utc; answers whether the change could be written
  // (the history in memory changes either way).
  bool GaveUp(const std::string& url, TDateTime utc);
  // The source's download succeeded: it no longer fails.
  bool Answered(const std::string& url);

  const TSourceRecords& Records() const { return records_; }
  std::vector<std::string> Failing() const;

 private:
  bool Save() const;

  std::string fileName_;
  TSourceRecords records_;
};
