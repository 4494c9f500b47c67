#pragma once
// The URLs of the editor's grids as the source check sees them: the list to check, and
// the rewrite of a URL that moved for good.

#include <cstddef>
#include <string>
#include <vector>

// One grid's URL cells.
struct TUrlColumn {
  std::vector<std::string> cells;  // one per data row, top to bottom
  std::size_t width = 0;           // the most characters its list file keeps of a URL

  bool operator==(const TUrlColumn&) const = default;
};

// Every URL of the columns once, in the order the grids show them, without the blanks
// around it (the list files drop them too); cells that hold only blanks are skipped.
std::vector<std::string> SourceUrls(const std::vector<TUrlColumn>& columns);

// Writes newUrl into every cell whose URL, without its blanks, is oldUrl; answers how
// many cells changed. Raises Exception, changing nothing, when a column that has the old
// URL is too narrow for the new one: saving would cut it into another URL.
int ReplaceSourceUrl(std::vector<TUrlColumn>& columns, const std::string& oldUrl,
                     const std::string& newUrl);
