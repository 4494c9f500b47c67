#include "fetch/fetch_inputs.h"

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

std::string DownloadFileName(const std::string& programFolder, const std::string& url) {
  const size_t slash = url.rfind('/');
  const std::string segment = slash == std::string::npos ? url : url.substr(slash + 1);
  return programFolder + segment.substr(0, kMaxSegmentLength);
}
