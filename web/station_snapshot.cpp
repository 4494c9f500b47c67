#include "web/station_snapshot.h"

namespace {

template <class Item>
void KeepNewest(std::deque<Item>& items, const Item& item, size_t most) {
  items.push_front(item);
  if (items.size() > most) items.pop_back();
}

}  // namespace

TStationStatus TStationSnapshot::Status() const {
  const std::lock_guard lock(mutex_);
  return status_;
}

void TStationSnapshot::ClockTicked(const TClockReport& clock) {
  const std::lock_guard lock(mutex_);
  status_.clock = clock;
}

void TStationSnapshot::StatusChanged(const std::string& text) {
  const std::lock_guard lock(mutex_);
  status_.status = text;
}

void TStationSnapshot::QueueChanged(const TQueueReport& queue) {
  const std::lock_guard lock(mutex_);
  status_.queue = queue;
}

void TStationSnapshot::NextEventChanged(const std::optional<TNextEvent>& next) {
  const std::lock_guard lock(mutex_);
  status_.next = next;
}

void TStationSnapshot::Saved(const TSaveReport& save) {
  const std::lock_guard lock(mutex_);
  KeepNewest(status_.saves, save, kShownSaves);
  // The last save found in saved.txt at the start was counted by an earlier run.
  if (!save.title.empty()) ++status_.savesBySource[save.title];
}

void TStationSnapshot::ErrorReported(const TErrorReport& error) {
  const std::lock_guard lock(mutex_);
  KeepNewest(status_.errors, error, kShownErrors);
  // An attempt's failure counts once; its give-up is no further failure.
  if (!error.url.empty() && !error.givenUp) ++status_.failuresBySource[error.source];
}

void TStationSnapshot::SourcesChanged(const std::vector<TSourceRow>& sources) {
  const std::lock_guard lock(mutex_);
  status_.sources = sources;
}

void TStationSnapshot::DownloadFinished(const TDownloadReport& download) {
  const std::lock_guard lock(mutex_);
  status_.downloadedBytes += download.bytes;
}
