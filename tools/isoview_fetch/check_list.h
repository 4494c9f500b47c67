#pragma once
// isoview-fetch --check: the URLs of a list file and the line printed for each result.

#include <string>
#include <vector>

#include "source_check/source_check.h"

// The URLs of a resource.txt when its first line is the resource titles line (its URL
// column says "URL"), else of a schedule.txt, read with the editor's readers; blank ones
// stay out.
std::vector<std::string> ListFileUrls(const std::vector<std::string>& lines);

// One line without its end, five fields separated by tabs:
//   ok|moved|failed  CODE  URL  FINAL-URL  REASON
// REASON says what a good source's first bytes are ("image/gif 1728x2200"), and otherwise
// why it failed ("404 Not Found", "200 but not an image: text/html").
// "moved": reachable, but some redirect was permanent (301, 308), so the list should name
// FINAL-URL. CODE is "-" when no HTTP reply came, FINAL-URL "-" when not redirected.
// Tabs and other control characters inside a field become blanks; the URLs are shown
// without their passwords.
std::string CheckLine(const TSourceCheckResult& result);
