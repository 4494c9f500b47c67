#pragma once
// How the station tells what it does: the windows draw it, tests record it, and later
// watchers (a web page, metrics) can listen too. Every method has an empty default, so a
// listener overrides what it shows and a new report needs no change of the others. All
// calls come on the thread of the station's message loop. A new call is added to
// TReportFanOut too, which tells every call to each listener.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/date_time.h"
#include "station/failure.h"
#include "station/next_event.h"
#include "station/source_row.h"

class TBitmap;

// The clock of one tick.
struct TClockReport {
  std::string time;  // "HH:MM:SS" UTC, for Status1
  int eventsLoaded = 0;
};

// The queue as it stands.
struct TQueueReport {
  std::vector<std::string> lines;  // oldest first, each URL without its password
  int running = 0;                 // how many of them have a job running
  // Sources (URLs) failing at present: a line of theirs waits for a retry, or was given
  // up and none has succeeded since.
  std::vector<std::string> failingSources;
};

// The downloads running now, together.
struct TProgressReport {
  int downloads = 0;     // 0: none runs
  int64_t received = 0;  // bytes, all of them together
  int64_t length = -1;   // what their servers announced together; -1 when one did not
};

struct TSaveReport {
  std::string path;   // absolute
  TDateTime utc;      // when it was saved (whole seconds)
  std::string title;  // the line's title or URL; empty for a save found in saved.txt
};

// A download ended, whether it delivered or not.
struct TDownloadReport {
  std::string source;  // the line's title or URL (without its password)
  int64_t bytes = 0;   // what arrived
};

// An error, where it came from (a line's title, "Clock", "Schedule", "Settings") and its
// kind. A failed attempt at a line is named "Title (URL): cause".
struct TErrorReport {
  std::string source;
  std::string message;
  TFailureKind kind = fkConfiguration;
  int errorNumber = 0;   // errno of a disk failure
  std::string url;       // of the line whose attempt failed; empty for others
  bool givenUp = false;  // the line left the queue for good
};

class TStationReport {
 public:
  virtual ~TStationReport() = default;
  virtual void ClockTicked(const TClockReport&) {}
  // Status2's text: what the jobs are doing ("Downloading ...", "Saving ...", "Done").
  virtual void StatusChanged(const std::string&) {}
  virtual void QueueChanged(const TQueueReport&) {}
  virtual void NextEventChanged(const std::optional<TNextEvent>&) {}
  virtual void ProgressChanged(const TProgressReport&) {}
  // A chart decoded whole; the window shows it. The picture is not changed afterwards.
  virtual void ChartReady(const std::shared_ptr<const TBitmap>&) {}
  // The download behind the chart just made ready, kept whole under this path until the
  // next download of its URL replaces it: a window may show more of it than the picture
  // holds, such as the frames of an animated GIF.
  virtual void ChartFileKept(const std::string&) {}
  virtual void Saved(const TSaveReport&) {}
  // Every error is logged by the station before it is reported.
  virtual void ErrorReported(const TErrorReport&) {}
  // How each schedule line's source is doing, one row a line in the schedule's order; told
  // when an attempt begins or ends, when the schedule changes, and at every tick.
  virtual void SourcesChanged(const std::vector<TSourceRow>&) {}
  virtual void DownloadFinished(const TDownloadReport&) {}
};

// What the station asks of its surroundings and cannot do itself: printing stays with the
// window, on its own thread.
class TStationPrinter {
 public:
  virtual ~TStationPrinter() = default;
  // Prints the picture fitted to one page, inverted when neg is "y"; answers the file a
  // printout to PDF went to, "" for a printer. Raises when it cannot print.
  virtual std::string Print(const TBitmap& picture, const std::string& neg) = 0;
};
