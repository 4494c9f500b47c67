#include "schedule/source_urls.h"

#include <algorithm>
#include <set>

#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

bool HasUrl(const TUrlColumn& column, const std::string& url) {
  return std::any_of(column.cells.begin(), column.cells.end(),
                     [&url](const std::string& cell) { return Trim(cell) == url; });
}

void CheckFits(const std::vector<TUrlColumn>& columns, const std::string& oldUrl,
               const std::string& newUrl) {
  for (const TUrlColumn& column : columns)
    if (newUrl.size() > column.width && HasUrl(column, oldUrl))
      throw Exception("The new URL has " + IntToStr(newUrl.size()) + " characters, more than the " +
                      IntToStr(column.width) + " the list file keeps: no row was changed");
}

}  // namespace

std::vector<std::string> SourceUrls(const std::vector<TUrlColumn>& columns) {
  std::vector<std::string> urls;
  std::set<std::string> seen;
  for (const TUrlColumn& column : columns)
    for (const std::string& cell : column.cells) {
      std::string url = Trim(cell);
      if (!url.empty() && seen.insert(url).second) urls.push_back(std::move(url));
    }
  return urls;
}

int ReplaceSourceUrl(std::vector<TUrlColumn>& columns, const std::string& oldUrl,
                     const std::string& newUrl) {
  int changed = 0;
  if (oldUrl.empty()) return changed;  // would match every empty row
  CheckFits(columns, oldUrl, newUrl);
  for (TUrlColumn& column : columns)
    for (std::string& cell : column.cells)
      if (Trim(cell) == oldUrl && cell != newUrl) {
        cell = newUrl;
        ++changed;
      }
  return changed;
}
