#include "download/fetch_inputs.h"

#include "http/url_helpers.h"
#include "runtime/strings.h"

TFetchInputs CutFetchInputs(const std::string& line) {
  TFetchInputs inputs;
  inputs.Title = Trim(Copy(line, 8, 52));
  inputs.Neg = Copy(line, 6, 1);
  inputs.URL = Trim(Copy(line, 60, 140));
  inputs.Print = LowerCase(Copy(line, 200, 1));
  // Blanks after the name would end up in its extension, and nothing would be saved.
  inputs.Filename = TrimRight(Copy(line, 202, 255));
  return inputs;
}

std::string ShownTitle(const TFetchInputs& inputs) {
  return inputs.Title.empty() ? UrlWithoutPassword(inputs.URL) : inputs.Title;
}

std::string ShownLine(const std::string& line) {
  const std::string url = CutFetchInputs(line).URL;
  const size_t at = url.empty() ? std::string::npos : line.find(url);
  if (at == std::string::npos) return line;
  std::string shown = UrlWithoutPassword(url);
  shown.resize(url.size(), ' ');
  return line.substr(0, at) + shown + line.substr(at + url.size());
}

std::string FetchJobName(const TFetchInputs& inputs) {
  const std::string url = UrlWithoutPassword(inputs.URL);
  return inputs.Title.empty() ? url : inputs.Title + " (" + url + ")";
}

std::string DownloadFileName(const std::string& programFolder, const std::string& url) {
  const size_t slash = url.rfind('/');
  const std::string segment = slash == std::string::npos ? url : url.substr(slash + 1);
  return programFolder + segment.substr(0, kMaxSegmentLength);
}
