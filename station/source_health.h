#pragma once
// The model of the sources: for each schedule line, what its attempts came to, kept in
// "health.txt" so that a restart forgets nothing. A line that was given up stays given up
// until it delivers again, also across days and restarts; a line whose download repeats
// the bytes of its last good one is "unchanged", since a server that keeps serving
// yesterday's chart fails as surely as one that serves nothing.

#include <string>
#include <vector>

#include "runtime/date_time.h"
#include "station/failure.h"
#include "station/source_health_file.h"
#include "station/source_row.h"

class TSourceHealth {
 public:
  // fileName: where the model is kept; empty keeps it in memory only.
  explicit TSourceHealth(std::string fileName = {}) : fileName_(std::move(fileName)) {}

  // Reads the file; a missing one is a model without records. A line that was retrying
  // when the program ended has lost its retries with the queue: it counts as given up.
  // Raises the runtime's file error when the file is there and cannot be read.
  void Load();

  // An attempt at the line began at utc.
  void Attempted(const std::string& line, TDateTime utc);
  // The line's download decoded whole at utc; digest: of its bytes.
  void Delivered(const std::string& line, TDateTime utc, const std::string& digest);
  // Every step of the line's job succeeded at utc; savedPath: "" when nothing was saved.
  void Succeeded(const std::string& line, TDateTime utc, const std::string& savedPath);
  // An attempt at the line failed at utc; givenUp: the line left the queue for good.
  void Failed(const std::string& line, TDateTime utc, const EStationFailure& failure, bool givenUp);
  // Whether the line is given up and has not delivered since.
  bool GivenUp(const std::string& line) const;

  // A row for each line that is not blank, in the order of the lines.
  std::vector<TSourceRow> Rows(const std::vector<std::string>& lines, TDateTime now) const;

  // Writes the file when something changed since it was last written; answers false when
  // it could not (the model in memory is right either way, and is written again later).
  bool SaveChanges();

 private:
  TLineHealth& Record(const std::string& line);

  std::string fileName_;
  TLineHealths records_;
  // The lines whose last download repeated the bytes of the good one before it.
  std::vector<std::string> repeated_;
  bool changed_ = false;
};
