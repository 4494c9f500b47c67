#include "web/status_json.h"

#include "http/url_helpers.h"
#include "web/web_text.h"

namespace {

// Joins the items' JSON with commas into an array.
template <class Items, class Write>
std::string JsonArray(const Items& items, Write write) {
  std::string json = "[";
  for (const auto& item : items) json += (json.size() > 1 ? "," : "") + write(item);
  return json + "]";
}

std::string JsonText(const std::string& text) {
  return JsonString(text);
}

std::string SourceJson(const TSourceRow& row) {
  return "{\"due\":" + JsonString(row.dueTime) + ",\"title\":" + JsonString(row.title) +
         ",\"url\":" + JsonString(row.url) + ",\"target\":" + JsonString(row.target) +
         ",\"state\":" + JsonString(SourceStateName(row.state)) +
         ",\"lastGoodSave\":" + JsonTime(row.lastGoodSave) +
         ",\"lastGoodFile\":" + JsonString(row.lastGoodFile) +
         ",\"lastAttempt\":" + JsonTime(row.lastAttempt) +
         ",\"failingSince\":" + JsonTime(row.failingSince) +
         ",\"lastError\":" + JsonString(row.lastError) + ",\"lastErrorKind\":" +
         (row.lastErrorKind ? JsonString(FailureKindName(*row.lastErrorKind)) : "null") +
         ",\"attemptsToday\":" + std::to_string(row.attemptsToday) +
         ",\"unchangedSince\":" + JsonTime(row.unchangedSince) + "}";
}

std::string SaveJson(const TSaveReport& save) {
  return "{\"time\":" + JsonTime(save.utc) + ",\"title\":" + JsonString(save.title) +
         ",\"file\":" + JsonString(save.path) + "}";
}

std::string ErrorJson(const TErrorReport& error) {
  return "{\"source\":" + JsonString(error.source) + ",\"message\":" + JsonString(error.message) +
         ",\"kind\":" + JsonString(FailureKindName(error.kind)) +
         ",\"givenUp\":" + (error.givenUp ? "true" : "false") + "}";
}

}  // namespace

std::string StatusJson(const TStationStatus& status, TDateTime now) {
  return "{\"now\":" + JsonTime(now) + ",\"clock\":" + JsonString(status.clock.time) +
         ",\"status\":" + JsonString(status.status) + ",\"next\":" +
         (status.next ? "{\"time\":" + JsonString(status.next->time) +
                            ",\"title\":" + JsonString(status.next->title) + "}"
                      : "null") +
         ",\"queue\":{\"lines\":" + JsonArray(status.queue.lines, JsonText) +
         ",\"running\":" + std::to_string(status.queue.running) + ",\"failingSources\":" +
         JsonArray(status.queue.failingSources,
                   [](const std::string& url) { return JsonString(UrlWithoutPassword(url)); }) +
         "},\"sources\":" + JsonArray(status.sources, SourceJson) +
         ",\"saves\":" + JsonArray(status.saves, SaveJson) +
         ",\"errors\":" + JsonArray(status.errors, ErrorJson) +
         ",\"downloadedBytes\":" + std::to_string(status.downloadedBytes) + "}";
}
