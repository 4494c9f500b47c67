#include "web/metrics_text.h"

#include <algorithm>

#include "web/web_text.h"

namespace {

// A label value with \ " and line breaks escaped as the format asks.
std::string LabelValue(const std::string& text) {
  std::string value;
  for (char c : Latin1ToUtf8(text)) {
    if (c == '\\' || c == '"')
      value += std::string("\\") + c;
    else if (c == '\n')
      value += "\\n";
    else
      value += c;
  }
  return "\"" + value + "\"";
}

std::string Heading(const std::string& name, const std::string& type, const std::string& help) {
  return "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

std::string BySource(const std::string& name, const std::string& help,
                     const std::map<std::string, int64_t>& counts) {
  std::string text = Heading(name, "counter", help);
  for (const auto& [source, count] : counts)
    text += name + "{source=" + LabelValue(source) + "} " + std::to_string(count) + "\n";
  return text;
}

// Each schedule line once: two lines may share a title and a time.
std::string RowLabels(const TSourceRow& row, size_t index) {
  return "{line=\"" + std::to_string(index + 1) + "\",source=" + LabelValue(row.title) +
         ",due=" + LabelValue(row.dueTime) + "}";
}

std::string LastGoodSaves(const std::vector<TSourceRow>& rows) {
  const std::string name = "isoview_last_good_save_timestamp_seconds";
  std::string text = Heading(name, "gauge", "When each schedule line last delivered (UTC).");
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].lastGoodSave)
      text += name + RowLabels(rows[i], i) + " " +
              std::to_string(UnixSeconds(*rows[i].lastGoodSave)) + "\n";
  return text;
}

std::string RowStates(const std::vector<TSourceRow>& rows) {
  const std::string name = "isoview_source_failing";
  std::string text =
      Heading(name, "gauge", "1 while a schedule line is retrying, given up or unchanged.");
  for (size_t i = 0; i < rows.size(); ++i)
    text +=
        name + RowLabels(rows[i], i) + " " + (SourceStateFails(rows[i].state) ? "1" : "0") + "\n";
  return text;
}

std::string Gauge(const std::string& name, const std::string& help, int64_t value) {
  return Heading(name, "gauge", help) + name + " " + std::to_string(value) + "\n";
}

}  // namespace

std::string MetricsText(const TStationStatus& status) {
  const auto givenUp = std::ranges::count_if(
      status.sources, [](const TSourceRow& row) { return row.state == ssGivenUp; });
  return BySource("isoview_saves_total", "Charts saved since the start, by source.",
                  status.savesBySource) +
         BySource("isoview_failures_total", "Failed attempts since the start, by source.",
                  status.failuresBySource) +
         Gauge("isoview_queue_length", "Schedule lines queued, running or waiting to retry.",
               static_cast<int64_t>(status.queue.lines.size())) +
         LastGoodSaves(status.sources) + RowStates(status.sources) +
         Heading("isoview_downloaded_bytes_total", "counter", "Bytes downloaded since the start.") +
         "isoview_downloaded_bytes_total " + std::to_string(status.downloadedBytes) + "\n" +
         Gauge("isoview_sources_given_up", "Schedule lines given up and not delivered since.",
               givenUp);
}
