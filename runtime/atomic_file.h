#pragma once
// Replacing a named file without ever leaving it half-written: the bytes go to a
// temporary file in the same folder, which is renamed over the target only when
// everything was written. A failure leaves the previous file as it was.

#include <functional>
#include <string>
#include <vector>

class TStream;

// Calls write with a stream on the temporary file, then renames it over fileName.
// If write raises, or the file cannot be finished, the temporary file is removed and the
// error passes on. A temporary file that cannot be created raises
// EFCreateError "Cannot create file <fileName>".
void SaveFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write);

struct TFileSave {
  std::string fileName;
  std::function<void(TStream&)> write;
};

// Saves files that belong together: every temporary file is written before any target is
// replaced, so a failure while writing (a full disk) leaves all targets as they were. Only
// a rename that fails after others succeeded (the folder changed meanwhile) leaves the
// earlier targets replaced.
void SaveFilesAtomically(const std::vector<TFileSave>& files);

// The temporary name beside fileName that a save by this process writes into; it carries
// the process id, so that what a crashed writer left behind can be told from what a
// running one is writing.
std::string TemporaryNameBeside(const std::string& fileName);

// Removes from the folder (ending in "/") the temporary files of writers whose process no
// longer exists; every other file, another running writer's included, stays. Answers how
// many were removed. Every save does this for its target's folder first.
int RemoveDeadTemporaries(const std::string& folder);
