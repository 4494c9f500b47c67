#include "web/loop_cache.h"

#include <algorithm>

#include "archive/source_saves.h"
#include "web/saved_files.h"

namespace {

// A few sources' loops, a few megabytes each at most.
constexpr size_t kKeptLoops = 8;

}  // namespace

TLoopCache::TLoopCache(std::string programFolder, int frames, int delayCentiseconds)
    : programFolder_(std::move(programFolder)),
      frames_(frames),
      delayCentiseconds_(delayCentiseconds) {}

std::vector<TSavedFile> TLoopCache::LoopSaves(const std::string& target,
                                              std::string_view savedListBytes) const {
  std::vector<TSavedFile> saves = NewestSavesOf(LatestSaves(ParseSavedList(savedListBytes)), target,
                                                programFolder_, static_cast<size_t>(frames_));
  std::erase_if(saves, [](const TSavedFile& save) { return !IsPlainFile(save.path); });
  return saves;
}

std::shared_ptr<const TChartLoop> TLoopCache::Loop(const std::string& target,
                                                   std::string_view savedListBytes) {
  const std::vector<TSavedFile> saves = LoopSaves(target, savedListBytes);
  const auto kept = std::ranges::find_if(entries_, [&](const TEntry& entry) {
    return entry.target == target && entry.saves == saves;
  });
  if (kept != entries_.end()) {
    TEntry entry = std::move(*kept);
    entries_.erase(kept);
    entries_.push_front(std::move(entry));
    return entries_.front().loop;
  }
  std::vector<std::string> paths;
  for (const TSavedFile& save : saves) paths.push_back(save.path);
  std::erase_if(entries_, [&](const TEntry& entry) { return entry.target == target; });
  entries_.push_front(
      {target, saves,
       std::make_shared<const TChartLoop>(MakeChartLoop(paths, delayCentiseconds_))});
  if (entries_.size() > kKeptLoops) entries_.pop_back();
  return entries_.front().loop;
}
