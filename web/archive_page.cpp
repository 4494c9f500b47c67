#include "web/archive_page.h"

#include "runtime/strings.h"
#include "web/page_parts.h"
#include "web/saved_files.h"
#include "web/web_paths.h"
#include "web/web_text.h"

namespace {

std::string Link(const std::string& text, int pageIndex, bool enabled,
                 const std::string& tokenQuery) {
  if (!enabled) return "<span>" + text + "</span>";
  return "<a href=\"" + ArchivePath(pageIndex) + tokenQuery + "\">" + text + "</a>";
}

// The window's buttons: newest, newer, older, oldest.
std::string Navigation(const TArchivePages& pages, int index, const std::string& tokenQuery) {
  const int last = pages.PageCount() - 1;
  return "<nav><a href=\"/" + tokenQuery + "\">Station</a>" +
         Link("Newest", 0, index > 0, tokenQuery) +
         Link("Newer", index - 1, index > 0, tokenQuery) +
         Link("Older", index + 1, index < last, tokenQuery) +
         Link("Oldest", last, index < last, tokenQuery) + "</nav><p id=\"page\">" +
         HtmlEscaped(pages.PageText(index)) + "</p>";
}

std::string Save(const TSavedFile& save, const std::string& tokenQuery) {
  const std::vector<std::string> caption{TimeOfDayText(save.savedAt) + " UTC",
                                         ExtractFileName(save.path)};
  if (IsPlainFile(save.path)) return SaveFigure(save.path, caption, tokenQuery);
  return GoneFigure(caption);
}

std::string Day(const TArchiveDay& day, const std::string& tokenQuery) {
  std::string html = "<h2>" + HtmlEscaped(day.heading) + " UTC</h2><div class=\"saves\">";
  for (const TSavedFile& save : day.saves) html += Save(save, tokenQuery);
  return html + "</div>";
}

}  // namespace

std::string ArchivePage(const TArchivePages& pages, int pageIndex, const std::string& tokenQuery) {
  std::string html = PageStart("Isoview archive", 0) + Navigation(pages, pageIndex, tokenQuery) +
                     "<div id=\"days\">";
  for (const TArchiveDay& day : pages.Page(pageIndex)) html += Day(day, tokenQuery);
  return html + "</div></body></html>\n";
}
