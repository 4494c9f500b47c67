#include "tools/isoview_fetch/check_list.h"

#include <algorithm>

#include "http/url_helpers.h"
#include "runtime/strings.h"
#include "schedule/resource_entry.h"
#include "schedule/schedule_event.h"

namespace {

constexpr char kUrlTitle[] = "URL";

bool ResourceTitlesLine(const std::string& line) {
  const std::vector<ResourceEntry> entries = ReadResourceEntries({line});
  return !entries.empty() && UpperCase(entries.front().fields[rcURL]) == kUrlTitle;
}

template <class Row>
std::vector<std::string> UrlColumn(const std::vector<Row>& rows, size_t column, size_t first) {
  std::vector<std::string> urls;
  for (size_t i = first; i < rows.size(); ++i)
    if (!rows[i].fields[column].empty()) urls.push_back(rows[i].fields[column]);
  return urls;
}

std::string Field(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](unsigned char c) { return c < ' ' || c == 127; }, ' ');
  return text.empty() ? "-" : text;
}

const char* Verdict(const TSourceCheckResult& result) {
  if (!result.Ok) return "failed";
  return result.MovedPermanently ? "moved" : "ok";
}

}  // namespace

std::vector<std::string> ListFileUrls(const std::vector<std::string>& lines) {
  if (!lines.empty() && ResourceTitlesLine(lines.front()))
    return UrlColumn(ReadResourceEntries(lines), rcURL, 1);
  return UrlColumn(ReadScheduleEvents(lines), sfURL, 0);
}

std::string CheckLine(const TSourceCheckResult& result) {
  const std::string code = result.StatusCode == 0 ? "" : std::to_string(result.StatusCode);
  return std::string(Verdict(result)) + "\t" + Field(code) + "\t" +
         Field(UrlWithoutPassword(result.Url)) + "\t" + Field(UrlWithoutPassword(result.FinalUrl)) +
         "\t" + Field(result.Ok && !result.Content.empty() ? result.Content : result.Status);
}
