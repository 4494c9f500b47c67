#pragma once
// What the web page answers to each request, without the network: the station page,
// /status.json, /metrics, the latest chart of each schedule line (/chart/N), the loop of its
// last charts (/loop/N.gif), the archive's pages (/archive, /archive/N), a saved file and
// its thumbnail by id (/file/ID, /thumb/ID). Anything else is 404. With a token set, a
// request without it, or with another, is refused.

#include <string>

#include "runtime/clock.h"
#include "web/loop_cache.h"
#include "web/station_snapshot.h"
#include "web/web_settings.h"

struct TWebReply {
  int status = 200;
  std::string contentType = "text/plain; charset=utf-8";
  std::string body;
  std::string file;        // a file saved.txt lists, to be sent in place of the body
  bool thumbnail = false;  // the file is sent as a small PNG picture
};

class TWebSite {
 public:
  TWebSite(const TStationSnapshot& snapshot, std::string programFolder,
           const TWebSettings& settings, const TClock& clock, const TTimeZone& zone);

  // path: the request's path as it came, undecoded; token: the one it carried, "" for none.
  // Not const: the loops made are kept.
  TWebReply Answer(const std::string& path, const std::string& token);

 private:
  bool Admits(const std::string& token) const;
  std::optional<std::string> SavedList() const;
  TWebReply ListedFileReply(const std::string& id, bool thumbnail) const;
  TWebReply ChartReply(const TStationStatus& status, size_t line) const;
  TWebReply LoopReply(const TStationStatus& status, size_t line);
  TWebReply ArchiveReply(int pageIndex) const;
  std::string TokenQuery() const;
  TDateTime Now() const;

  const TStationSnapshot& snapshot_;
  std::string programFolder_;
  std::string token_;
  const TClock& clock_;
  const TTimeZone& zone_;
  TLoopCache loops_;
};
