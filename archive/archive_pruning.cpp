#include "archive/archive_pruning.h"

#include <optional>

namespace {

int64_t DeletableBytes(const std::vector<TArchivedFile>& files) {
  int64_t total = 0;
  for (const TArchivedFile& file : files)
    if (file.deletable) total += file.size;
  return total;
}

std::optional<TPruneReason> ReasonToDelete(const TArchivedFile& file, const TArchivePolicy& policy,
                                           TDateTime now, int64_t archiveBytes) {
  if (policy.keepDays && now.ms - file.save.savedAt.ms > *policy.keepDays * kMillisecondsPerDay)
    return prTooOld;
  if (policy.keepMegabytes && archiveBytes > *policy.keepMegabytes * kBytesPerMegabyte)
    return prArchiveTooLarge;
  return std::nullopt;
}

}  // namespace

std::vector<TPruneChoice> ChooseFilesToDelete(const std::vector<TArchivedFile>& files,
                                              const TArchivePolicy& policy, TDateTime now) {
  std::vector<TPruneChoice> chosen;
  int64_t archiveBytes = DeletableBytes(files);
  for (const TArchivedFile& file : files) {
    if (!file.deletable) continue;
    const std::optional<TPruneReason> reason = ReasonToDelete(file, policy, now, archiveBytes);
    // The files are oldest first: once one may stay, every later one may too.
    if (!reason) break;
    chosen.push_back({file, *reason});
    archiveBytes -= file.size;
  }
  return chosen;
}
