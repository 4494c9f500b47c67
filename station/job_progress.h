#pragma once
// What the attempts at one queued line's job have completed, so that a retry neither
// downloads, saves nor prints twice.

#include <memory>
#include <string>

class TBitmap;

// The steps of a job, in order; what a retry starts from.
enum TJobStep { jsDownload, jsSave, jsPrint };

struct TJobProgress {
  TJobStep next = jsDownload;
  std::string expandedFilename;  // fixed at the first attempt to save
  // The chart the download gave, kept for a save or print that has to be tried again.
  std::shared_ptr<const TBitmap> picture;
};
