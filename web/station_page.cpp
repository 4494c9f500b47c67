#include "web/station_page.h"

#include "web/page_parts.h"
#include "web/web_paths.h"
#include "web/web_text.h"

namespace {

constexpr int kReloadSeconds = 30;

std::string Cell(const std::string& text) {
  return "<td>" + HtmlEscaped(text) + "</td>";
}

std::string Clock(const std::string& now) {
  return "<p>UTC <b id=\"clock\">" + now + "</b></p>";
}

// The time of day, counted on in the browser between reloads.
std::string ClockScript() {
  return "<script>(function(){const c=document.getElementById('clock');"
         "const t=c.textContent.split(':').map(Number);let s=t[0]*3600+t[1]*60+t[2];"
         "setInterval(function(){s=(s+1)%86400;const p=n=>String(n).padStart(2,'0');"
         "c.textContent=p(Math.floor(s/3600))+':'+p(Math.floor(s/60)%60)+':'+p(s%60);},1000);"
         "})();</script>";
}

std::string StateClass(TSourceState state) {
  return state == ssGivenUp ? "given-up" : SourceStateName(state);
}

// Lines that only show have no saves to loop.
std::string LoopLink(const TSourceRow& row, size_t line, const std::string& tokenQuery) {
  if (row.target.empty()) return "";
  return "<a href=\"" + LoopPath(line) + tokenQuery + "\">loop</a>";
}

std::string Navigation(const std::string& tokenQuery) {
  return "<nav><a href=\"/archive" + tokenQuery + "\">Archive</a></nav>";
}

std::string SourcesTable(const std::vector<TSourceRow>& rows, const std::string& tokenQuery) {
  std::string html =
      "<h2>Sources</h2><table id=\"sources\"><tr><th>Due</th><th>Title</th><th>State</th>"
      "<th>Last good save</th><th>Failing since</th><th>Last error</th><th>Attempts today</th>"
      "<th>Unchanged since</th><th>Loop</th></tr>";
  for (size_t i = 0; i < rows.size(); ++i) {
    const TSourceRow& row = rows[i];
    const std::string good = PageTime(row.lastGoodSave);
    const std::string chart = row.lastGoodFile.empty() ? HtmlEscaped(good)
                                                       : "<a href=\"" + ChartPath(i + 1) +
                                                             tokenQuery + "\">" + good + "</a>";
    html += "<tr class=\"" + StateClass(row.state) + "\">" + Cell(row.dueTime) + Cell(row.title) +
            Cell(SourceStateName(row.state)) + "<td>" + chart + "</td>" +
            Cell(PageTime(row.failingSince)) + Cell(row.lastError) +
            Cell(std::to_string(row.attemptsToday)) + Cell(PageTime(row.unchangedSince)) + "<td>" +
            LoopLink(row, i + 1, tokenQuery) + "</td></tr>";
  }
  return html + "</table>";
}

std::string Queue(const TQueueReport& queue) {
  std::string html = "<h2>Queue</h2><p>" + std::to_string(queue.lines.size()) + " lines, " +
                     std::to_string(queue.running) + " running</p><ol id=\"queue\">";
  for (const std::string& line : queue.lines)
    html += "<li><code>" + HtmlEscaped(line) + "</code></li>";
  return html + "</ol>";
}

std::string Saves(const std::deque<TSaveReport>& saves, const std::string& tokenQuery) {
  std::string html = "<h2>Last saves</h2><div class=\"saves\" id=\"saves\">";
  for (const TSaveReport& save : saves)
    html += SaveFigure(save.path, {PageTime(save.utc), save.title}, tokenQuery);
  return html + "</div>";
}

std::string Errors(const std::deque<TErrorReport>& errors) {
  std::string html = "<h2>Errors</h2><ul id=\"errors\">";
  for (const TErrorReport& error : errors) {
    // A failed attempt's message names its line already.
    const bool named = error.message.starts_with(error.source);
    html += "<li>" + HtmlEscaped(named ? error.message : error.source + ": " + error.message) +
            " (" + HtmlEscaped(FailureKindName(error.kind)) + ")</li>";
  }
  return html + "</ul>";
}

}  // namespace

std::string StationPage(const TStationStatus& status, TDateTime now,
                        const std::string& tokenQuery) {
  const std::string clock =
      PageTime(now).substr(11) + ":" + std::to_string(100 + DecodeDateTime(now).second).substr(1);
  return PageStart("Isoview station", kReloadSeconds) + Clock(clock) + Navigation(tokenQuery) +
         "<p id=\"status\">" + HtmlEscaped(status.status) +
         (status.next
              ? " &mdash; next: " + HtmlEscaped(status.next->time + " " + status.next->title)
              : "") +
         "</p>" + SourcesTable(status.sources, tokenQuery) + Queue(status.queue) +
         Saves(status.saves, tokenQuery) + Errors(status.errors) + ClockScript() +
         "</body></html>\n";
}
