#pragma once
// Which listed saves the archive policy lets go: oldest first, while they are older than
// the kept days or the archive is larger than the kept megabytes.

#include <cstdint>
#include <vector>

#include "archive/archive_policy.h"
#include "archive/saved_list.h"

// A listed save as the file system shows it now.
struct TArchivedFile {
  TSavedFile save;
  int64_t size = 0;
  // Present, a plain file, unchanged since its save and none of the program's own files.
  // Only such files count towards the archive's size and may be deleted.
  bool deletable = false;
};

enum TPruneReason { prTooOld, prArchiveTooLarge };

struct TPruneChoice {
  TArchivedFile file;
  TPruneReason reason;
};

// The files to delete, in the order given (oldest first), at the UTC time now.
std::vector<TPruneChoice> ChooseFilesToDelete(const std::vector<TArchivedFile>& files,
                                              const TArchivePolicy& policy, TDateTime now);
