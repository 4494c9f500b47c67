#pragma once
// Where the station's files go. Downloads have a folder of their own in the program folder,
// "downloads/", so that no URL's last segment (".../schedule.txt", ".../isoview.log") can
// ever name one of the program's own files, today's or a later version's; a target name
// without a folder belongs to the program folder, wherever the program was started from.

#include <string>
#include <vector>

#include "runtime/clock.h"

class TEventTable;

inline constexpr const char* kDownloadsFolderName = "downloads/";

// programFolder ends in "/"; so does the answer.
std::string DownloadsFolder(const std::string& programFolder);
// The downloads folder followed by the URL's last segment, trimmed; "" when the URL has
// no last segment to name a file by ("http://host/dir/").
std::string DownloadedFileName(const std::string& programFolder, const std::string& url);
// An expanded target name as the absolute path it is saved under: one without a leading
// "/" is in the program folder. "." and ".." are resolved in the text.
std::string TargetPath(const std::string& programFolder, const std::string& expandedName);
// Makes the folder when it is not there yet; raises EFCreateError "Cannot create folder
// <folder>: <reason>", with the system's error number, when it cannot be made.
void MakeFolder(const std::string& folder);
// Every folder a save of the schedule may write into, each once: the program folder, the
// downloads folder and the folder of each line's target (its date codes expanded now).
std::vector<std::string> SaveFolders(const std::string& programFolder, const TEventTable& table,
                                     const TClock& clock, const TTimeZone& zone);
