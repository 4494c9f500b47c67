#include "http/http_request_header.h"

#include "http/url_helpers.h"
#include "runtime/strings.h"

namespace {

void AddWhenSet(std::vector<std::string>& lines, const char* field, const std::string& value) {
  if (!value.empty()) lines.push_back(std::string(field) + ": " + value);
}

std::string BasicCredentials(const std::string& user, const std::string& password) {
  return "Basic " + Base64Encode(user + ":" + password);
}

void AddProxyAuthorization(std::vector<std::string>& lines, const THttpRequestSettings& settings) {
  if (!settings.ProxyUsername.empty())
    lines.push_back("Proxy-Authorization: " +
                    BasicCredentials(settings.ProxyUsername, settings.ProxyPassword));
}

}  // namespace

std::vector<std::string> RequestHeaderLines(const THttpRequestSettings& settings,
                                            const THttpRequestLine& request) {
  const bool post = request.Method == "POST";
  std::vector<std::string> lines;
  lines.push_back(request.Method + " " + request.RequestPath + " HTTP/" + request.Version);
  AddWhenSet(lines, "From", settings.Sender);
  AddWhenSet(lines, "Accept", settings.Accept);
  AddWhenSet(lines, "Referer", settings.Reference);
  AddWhenSet(lines, "Accept-Language", settings.AcceptLanguage);
  if (post) AddWhenSet(lines, "Content-Type", settings.ContentTypePost);
  AddWhenSet(lines, "User-Agent", settings.Agent);
  // Always sent, even empty; with the port when it is not the scheme's default.
  lines.push_back("Host: " + request.HostHeaderValue);
  if (settings.NoCache) lines.push_back("Pragma: no-cache");
  if (post) lines.push_back("Content-Length: " + IntToStr(request.PostSize));
  if (settings.ModifiedSince.ms != 0)
    lines.push_back("If-Modified-Since: " + HttpDate(settings.ModifiedSince) + " GMT");
  if (!request.Username.empty())
    lines.push_back("Authorization: " + BasicCredentials(request.Username, request.Password));
  if (request.ToProxy) AddProxyAuthorization(lines, settings);
  AddWhenSet(lines, "Cookie", settings.Cookie);
  if (!settings.ContentRangeBegin.empty() || !settings.ContentRangeEnd.empty())
    lines.push_back("Range: bytes=" + settings.ContentRangeBegin + "-" + settings.ContentRangeEnd);
  return lines;
}

std::vector<std::string> TunnelRequestLines(const THttpRequestSettings& settings,
                                            const std::string& authority) {
  std::vector<std::string> lines = {"CONNECT " + authority + " HTTP/1.1", "Host: " + authority};
  AddWhenSet(lines, "User-Agent", settings.Agent);
  AddProxyAuthorization(lines, settings);
  return lines;
}
