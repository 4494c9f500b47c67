#include "web/page_parts.h"

#include "web/saved_files.h"
#include "web/web_text.h"

namespace {

std::string Caption(const std::vector<std::string>& lines) {
  std::string caption;
  for (const std::string& line : lines)
    caption += (caption.empty() ? "" : "<br>") + HtmlEscaped(line);
  return "<figcaption>" + caption + "</figcaption>";
}

}  // namespace

std::string PageStart(const std::string& title, int reloadSeconds) {
  const std::string reload = reloadSeconds > 0 ? "<meta http-equiv=\"refresh\" content=\"" +
                                                     std::to_string(reloadSeconds) + "\">"
                                               : "";
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">" + reload + "<title>" +
         HtmlEscaped(title) +
         "</title><style>"
         "body{font-family:sans-serif;margin:1em}table{border-collapse:collapse}"
         "td,th{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top}"
         ".ok{background:#cfc}.new{background:#eee}.retrying{background:#fd8}"
         ".given-up{background:#f99}.unchanged{background:#fb6}"
         ".saves figure{display:inline-block;margin:4px;text-align:center;font-size:small}"
         "nav a,nav span{margin-right:1em}nav span{color:#999}"
         "</style></head><body><h1>" +
         HtmlEscaped(title) + "</h1>";
}

std::string SaveFigure(const std::string& path, const std::vector<std::string>& captionLines,
                       const std::string& tokenQuery) {
  const std::string id = SavedFileId(path);
  const std::string alt = captionLines.empty() ? "" : HtmlEscaped(captionLines.back());
  return "<figure><a href=\"/file/" + id + tokenQuery + "\"><img src=\"/thumb/" + id + tokenQuery +
         "\" alt=\"" + alt + "\"></a>" + Caption(captionLines) + "</figure>";
}

std::string GoneFigure(const std::vector<std::string>& captionLines) {
  std::vector<std::string> lines{"deleted"};
  lines.insert(lines.end(), captionLines.begin(), captionLines.end());
  return "<figure class=\"deleted\">" + Caption(lines) + "</figure>";
}
