#include "archive/archive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <vector>

#include "archive/archive_pruning.h"
#include "archive/saved_list.h"
#include "program/date_codes.h"
#include "program/event_log.h"
#include "program/jpeg_quality.h"
#include "program/program_folder.h"
#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kLogPrefix = "Archive: ";

// The program's own files in its folder: even a list that names one never has it deleted.
const std::vector<std::string>& OwnFileNames() {
  static const std::vector<std::string> names = {kScheduleFileName,
                                                 kResourceFileName,
                                                 kJPEGQualityFileName,
                                                 kArchivePolicyFileName,
                                                 kSavedListFileName,
                                                 kLogFileName,
                                                 std::string(kLogFileName) + ".1",
                                                 kSettingsFileName,
                                                 kSourceHistoryFileName,
                                                 kSourceHealthFileName};
  return names;
}

bool IsOwnFile(const std::string& folder, const std::string& path) {
  for (const std::string& name : OwnFileNames())
    if (path == folder + name) return true;
  return false;
}

TArchivedFile Examine(const TSavedFile& save, const std::string& folder) {
  TArchivedFile file{save};
  struct stat info {};
  // A link is not followed: what it points to was never saved by us.
  if (::lstat(save.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return file;
  file.size = info.st_size;
  const bool changed = DateTimeFromUnixSeconds(info.st_mtim.tv_sec).ms > save.savedAt.ms;
  file.deletable = !changed && !IsOwnFile(folder, save.path);
  return file;
}

std::string DeletionText(const TPruneChoice& choice, const TArchivePolicy& policy) {
  const std::string why =
      choice.reason == prTooOld
          ? "older than " + IntToStr(*policy.keepDays) + " days"
          : "the archive is larger than " + IntToStr(*policy.keepMegabytes) + " megabytes";
  std::string saved = LogStamp(choice.file.save.savedAt);
  saved.pop_back();
  return std::string(kLogPrefix) + "deleted " + choice.file.save.path + " (saved " + saved + ", " +
         IntToStr(choice.file.size) + " bytes, " + why + ")";
}

std::string ReadWhole(const std::string& fileName) {
  TMemoryStream bytes;
  bytes.LoadFromFile(fileName);
  return {bytes.Bytes().begin(), bytes.Bytes().end()};
}

}  // namespace

TArchive::TArchive(std::string programFolder, const TEventLog& log, const TClock& clock,
                   const TTimeZone& zone)
    : programFolder_(std::move(programFolder)), log_(log), clock_(clock), zone_(zone) {}

TDateTime TArchive::UtcNow() const {
  const TDateTime now = UtcForDateCodes(clock_.NowIn(zone_));
  return {now.ms - now.ms % 1000};
}

void TArchive::Record(const std::string& fileName) {
  if (!RecordSave(FileInFolder(kSavedListFileName), {UtcNow(), fileName}))
    log_.Add(std::string(kLogPrefix) + "could not list " + fileName + " in " + kSavedListFileName +
             "; it will never be deleted");
}

std::optional<TArchivePolicy> TArchive::ReadPolicy() {
  try {
    std::optional<TArchivePolicy> policy = ReadArchivePolicy(FileInFolder(kArchivePolicyFileName));
    lastPolicyError_.clear();
    return policy;
  } catch (const std::exception& error) {
    const std::string text = std::string(kLogPrefix) + kArchivePolicyFileName + " " + error.what() +
                             "; nothing is deleted until it is corrected";
    if (text != lastPolicyError_) log_.Add(text);
    lastPolicyError_ = text;
    return std::nullopt;
  }
}

void TArchive::Prune() {
  const TDateTime now = UtcNow();
  lastPruning_ = now;
  const std::optional<TArchivePolicy> policy = ReadPolicy();
  if (!policy) return;
  const std::string listName = FileInFolder(kSavedListFileName);
  std::vector<TSavedListLine> lines;
  try {
    lines = ParseSavedList(ReadWhole(listName));
  } catch (const EFOpenError&) {
    return;  // nothing saved yet
  }
  std::vector<TArchivedFile> files;
  for (const TSavedFile& save : LatestSaves(lines)) files.push_back(Examine(save, programFolder_));
  std::set<std::string> deleted;
  for (const TPruneChoice& choice : ChooseFilesToDelete(files, *policy, now)) {
    if (::unlink(choice.file.save.path.c_str()) != 0) {
      log_.Add(std::string(kLogPrefix) + "could not delete " + choice.file.save.path + ": " +
               std::strerror(errno));
      continue;
    }
    log_.Add(DeletionText(choice, *policy));
    deleted.insert(choice.file.save.path);
  }
  if (deleted.empty()) return;
  const std::string rest = SavedListWithout(lines, deleted);
  try {
    SaveFileAtomically(listName, [&](TStream& out) { out.WriteBuffer(rest.data(), rest.size()); });
  } catch (const std::exception& error) {
    log_.Add(std::string(kLogPrefix) + error.what());
  }
}

void TArchive::PruneAfterFailedSave(int errorNumber) {
  if (errorNumber == ENOSPC) Prune();
}

void TArchive::PruneWhenDue() {
  const TDateTime now = UtcNow();
  if (!lastPruning_ || now.ms < lastPruning_->ms || now.ms - lastPruning_->ms >= kPruningIntervalMs)
    Prune();
}
