#include "archive/archive_pages.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Formatted(const char* format, int a, int b, int c) {
  char text[40];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

TArchivePages::TArchivePages(std::string_view savedListBytes, int picturesPerPage)
    : newestFirst_(LatestSaves(ParseSavedList(savedListBytes))),
      picturesPerPage_(std::max(1, picturesPerPage)) {
  // LatestSaves is oldest first with equal times in the list's order; reversed, the save
  // written last comes first among equals too.
  std::reverse(newestFirst_.begin(), newestFirst_.end());
}

int TArchivePages::PageCount() const {
  const int count = PictureCount();
  return std::max(1, (count + picturesPerPage_ - 1) / picturesPerPage_);
}

std::vector<TArchiveDay> TArchivePages::Page(int index) const {
  std::vector<TArchiveDay> days;
  if (index < 0 || index >= PageCount()) return days;
  const size_t first = static_cast<size_t>(index) * picturesPerPage_;
  const size_t end = std::min(newestFirst_.size(), first + picturesPerPage_);
  for (size_t i = first; i < end; ++i) {
    const TSavedFile& save = newestFirst_[i];
    const std::string heading = DayHeading(save.savedAt);
    if (days.empty() || days.back().heading != heading) days.push_back({heading, {}});
    days.back().saves.push_back(save);
  }
  return days;
}

std::string TArchivePages::PageText(int index) const {
  if (PictureCount() == 0) return "Nothing saved yet";
  return "Page " + std::to_string(index + 1) + " of " + std::to_string(PageCount()) + " (" +
         std::to_string(PictureCount()) + " pictures, newest first)";
}

std::string DayHeading(TDateTime utc) {
  const TDateTimeParts parts = DecodeDateTime(utc);
  return Formatted("%04d-%02d-%02d", parts.year, parts.month, parts.day);
}

std::string TimeOfDayText(TDateTime utc) {
  const TDateTimeParts parts = DecodeDateTime(utc);
  return Formatted("%02d:%02d:%02d", parts.hour, parts.minute, parts.second);
}
