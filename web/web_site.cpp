#include "web/web_site.h"

#include "archive/archive_pages.h"
#include "program/date_codes.h"
#include "station/memory_file.h"
#include "web/archive_page.h"
#include "web/metrics_text.h"
#include "web/saved_files.h"
#include "web/station_page.h"
#include "web/status_json.h"
#include "web/web_paths.h"
#include "web/web_text.h"

namespace {

constexpr const char* kFilePrefix = "/file/";
constexpr const char* kThumbnailPrefix = "/thumb/";

TWebReply Reply(int status, const std::string& contentType, std::string body) {
  TWebReply reply;
  reply.status = status;
  reply.contentType = contentType;
  reply.body = std::move(body);
  return reply;
}

TWebReply Text(int status, const std::string& body) {
  return Reply(status, "text/plain; charset=utf-8", body);
}

TWebReply NotFound() {
  return Text(404, "Not found\n");
}

TWebReply UnreadableList() {
  return Text(503, "The list of saves cannot be read\n");
}

// Compared byte by byte to the end, so that the time taken tells nothing of the token.
bool SameSecret(const std::string& given, const std::string& secret) {
  unsigned char difference = given.size() == secret.size() ? 0 : 1;
  for (size_t i = 0; i < given.size(); ++i)
    difference |= static_cast<unsigned char>(given[i] ^ secret[i % secret.size()]);
  return difference == 0;
}

// The text after prefix when path starts with it.
std::optional<std::string> After(const std::string& path, const std::string& prefix) {
  if (path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return path.substr(prefix.size());
}

bool IsFileId(const std::string& text) {
  return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

TWebSite::TWebSite(const TStationSnapshot& snapshot, std::string programFolder,
                   const TWebSettings& settings, const TClock& clock, const TTimeZone& zone)
    : snapshot_(snapshot),
      programFolder_(std::move(programFolder)),
      token_(settings.token),
      clock_(clock),
      zone_(zone),
      loops_(programFolder_, settings.loopFrames, settings.loopDelayCentiseconds) {}

TDateTime TWebSite::Now() const {
  return UtcForDateCodes(clock_.NowIn(zone_));
}

bool TWebSite::Admits(const std::string& token) const {
  return token_.empty() || (!token.empty() && SameSecret(token, token_));
}

// The links carry the settings' token, never the text a request brought: without a token
// set, any text is admitted, and it would land in the page as it came.
std::string TWebSite::TokenQuery() const {
  return token_.empty() ? "" : "?token=" + QueryValue(token_);
}

TWebReply TWebSite::Answer(const std::string& path, const std::string& token) {
  if (!Admits(token)) return Text(401, "A token is needed\n");
  const TStationStatus status = snapshot_.Status();
  if (path == "/")
    return Reply(200, "text/html; charset=utf-8", StationPage(status, Now(), TokenQuery()));
  if (path == "/status.json") return Reply(200, "application/json", StatusJson(status, Now()));
  if (path == "/metrics")
    return Reply(200, "text/plain; version=0.0.4; charset=utf-8", MetricsText(status));
  if (const auto line = ChartLine(path)) return ChartReply(status, *line);
  if (const auto line = LoopLine(path)) return LoopReply(status, *line);
  if (const auto page = ArchivePageIndex(path)) return ArchiveReply(*page);
  if (const auto id = After(path, kFilePrefix); id && IsFileId(*id))
    return ListedFileReply(*id, false);
  if (const auto id = After(path, kThumbnailPrefix); id && IsFileId(*id))
    return ListedFileReply(*id, true);
  return NotFound();
}

std::optional<std::string> TWebSite::SavedList() const {
  try {
    return ReadMemoryFile(programFolder_ + kSavedListFileName);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

TWebReply TWebSite::ListedFileReply(const std::string& id, bool thumbnail) const {
  const std::optional<std::string> list = SavedList();
  if (!list) return UnreadableList();
  const std::optional<TSavedFile> listed = ListedFile(*list, id);
  if (!listed) return NotFound();
  TWebReply reply = Reply(200, thumbnail ? "image/png" : ContentTypeOf(listed->path), "");
  reply.file = listed->path;
  reply.thumbnail = thumbnail;
  return reply;
}

// The latest chart of the Nth schedule line (from 1), sent only when saved.txt lists it.
TWebReply TWebSite::ChartReply(const TStationStatus& status, size_t line) const {
  if (line > status.sources.size() || status.sources[line - 1].lastGoodFile.empty())
    return NotFound();
  return ListedFileReply(SavedFileId(status.sources[line - 1].lastGoodFile), false);
}

// The loop of the Nth schedule line's last charts; a line that only shows saves nothing.
TWebReply TWebSite::LoopReply(const TStationStatus& status, size_t line) {
  if (line > status.sources.size() || status.sources[line - 1].target.empty()) return NotFound();
  const std::optional<std::string> list = SavedList();
  if (!list) return UnreadableList();
  const std::shared_ptr<const TChartLoop> loop =
      loops_.Loop(status.sources[line - 1].target, *list);
  if (loop->frames == 0) return Text(404, "No saved chart of this line could be read\n");
  return Reply(200, "image/gif", std::string(loop->gif.begin(), loop->gif.end()));
}

TWebReply TWebSite::ArchiveReply(int pageIndex) const {
  const std::optional<std::string> list = SavedList();
  if (!list) return UnreadableList();
  const TArchivePages pages(*list);
  if (pageIndex >= pages.PageCount()) return NotFound();
  return Reply(200, "text/html; charset=utf-8", ArchivePage(pages, pageIndex, TokenQuery()));
}
