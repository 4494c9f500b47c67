#pragma once
// The archive as the archive window and the web page show it: the saves listed in
// saved.txt, newest first, cut into pages of a fixed number of pictures, each page grouped
// by the UTC day of its saves. A path saved again is shown once, at its latest save.

#include <string>
#include <string_view>
#include <vector>

#include "archive/saved_list.h"

inline constexpr int kPicturesPerPage = 48;

// The saves of one UTC day on one page, newest first.
struct TArchiveDay {
  std::string heading;  // "2026-12-08"
  std::vector<TSavedFile> saves;
  friend bool operator==(const TArchiveDay&, const TArchiveDay&) = default;
};

class TArchivePages {
 public:
  // The list's bytes as saved.txt holds them; lines that are no save are left out.
  explicit TArchivePages(std::string_view savedListBytes, int picturesPerPage = kPicturesPerPage);

  int PictureCount() const { return static_cast<int>(newestFirst_.size()); }
  // At least 1: an empty archive has one empty page.
  int PageCount() const;
  // Page 0 holds the newest saves; a page out of range is empty.
  std::vector<TArchiveDay> Page(int index) const;
  // "Page 2 of 3 (100 pictures, newest first)", or "Nothing saved yet".
  std::string PageText(int index) const;

 private:
  std::vector<TSavedFile> newestFirst_;
  int picturesPerPage_;
};

// "2026-12-08": the UTC day of a save, as the day headings show it.
std::string DayHeading(TDateTime utc);
// "15:11:01": the UTC time of day of a save, as each picture's caption shows it.
std::string TimeOfDayText(TDateTime utc);
