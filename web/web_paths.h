#pragma once
// The paths of the page's numbered resources, written and read back in one place: a
// schedule line's chart and loop by its number in the schedule, an archive page by its
// number. Only digits are read from a request; nothing of it names a file.

#include <cstddef>
#include <optional>
#include <string>

// "/chart/3": the latest chart of the third line (from 1).
std::string ChartPath(size_t line);
// "/loop/3.gif": the loop of the third line's last charts.
std::string LoopPath(size_t line);
// "/archive" for the newest page (index 0), "/archive/2" for the next.
std::string ArchivePath(int pageIndex);

// The line a chart or loop path names; none for any other path, or for 0.
std::optional<size_t> ChartLine(const std::string& path);
std::optional<size_t> LoopLine(const std::string& path);
// The page index an archive path names; none for any other path, or for page 0.
std::optional<int> ArchivePageIndex(const std::string& path);
