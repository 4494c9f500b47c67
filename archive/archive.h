#pragma once
// The archive of saved pictures: every save is listed in "saved.txt", and where
// "archive.txt" sets a policy the oldest listed pictures are deleted so that the disk
// never fills. Nothing but a listed file unchanged since its save is ever deleted; each
// deletion is logged.

#include <optional>
#include <string>

#include "archive/archive_policy.h"
#include "runtime/clock.h"

class TEventLog;

// How often the archive is pruned when nothing is saved.
inline constexpr int64_t kPruningIntervalMs = 60 * kMillisecondsPerMinute;

class TArchive {
 public:
  // programFolder ends in "/".
  TArchive(std::string programFolder, const TEventLog& log, const TClock& clock,
           const TTimeZone& zone);

  // Lists fileName (absolute) as saved now.
  void Record(const std::string& fileName);
  // Deletes what the policy lets go; nothing without a policy or with one that does not
  // parse (which is logged).
  void Prune();
  // A save that failed for lack of space (errorNumber ENOSPC) is followed by a pruning run
  // at once, so that the job's own retry finds room; other failures change nothing.
  void PruneAfterFailedSave(int errorNumber);
  // Prunes when an hour has passed since the last pruning run, or the clock went back.
  void PruneWhenDue();

 private:
  std::optional<TArchivePolicy> ReadPolicy();
  std::string FileInFolder(const char* name) const { return programFolder_ + name; }
  TDateTime UtcNow() const;

  std::string programFolder_;
  const TEventLog& log_;
  const TClock& clock_;
  const TTimeZone& zone_;
  std::optional<TDateTime> lastPruning_;
  // A policy that does not parse is logged when it is first met, not at every run.
  std::string lastPolicyError_;
};
