#include "station/station_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "download/fetch_inputs.h"
#include "program/date_codes.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "station/event_table.h"

std::string DownloadsFolder(const std::string& programFolder) {
  return programFolder + kDownloadsFolderName;
}

std::string DownloadedFileName(const std::string& programFolder, const std::string& url) {
  const std::string folder = DownloadsFolder(programFolder);
  const std::string name = Trim(DownloadFileName(folder, url).substr(folder.size()));
  return name.empty() ? "" : folder + name;
}

std::string TargetPath(const std::string& programFolder, const std::string& expandedName) {
  const std::filesystem::path name(expandedName);
  const std::filesystem::path absolute =
      name.is_absolute() ? name : std::filesystem::path(programFolder) / name;
  return absolute.lexically_normal().string();
}

void MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return;
  const int error = errno;
  throw EFCreateError("Cannot create folder " + folder + ": " + std::strerror(error), error);
}

std::vector<std::string> SaveFolders(const std::string& programFolder, const TEventTable& table,
                                     const TClock& clock, const TTimeZone& zone) {
  std::vector<std::string> folders{programFolder, DownloadsFolder(programFolder)};
  std::set<std::string> seen(folders.begin(), folders.end());
  for (const std::string& line : table.Lines()) {
    const std::string target = CutFetchInputs(line).Filename;
    if (target.empty()) continue;
    const std::string folder =
        ExtractFilePath(TargetPath(programFolder, ExpandDateCodes(target, clock, zone)));
    if (seen.insert(folder).second) folders.push_back(folder);
  }
  return folders;
}
