#pragma once
// The program folder: the folder of the executable, ending in "/".

#include <string>

// The two lists the operator keeps.
inline constexpr const char* kScheduleFileName = "schedule.txt";
inline constexpr const char* kResourceFileName = "resource.txt";
// The settings file: the station's limits, the window's place, the printer.
inline constexpr const char* kSettingsFileName = "isoview.ini";
// What the station remembers of each source across restarts.
inline constexpr const char* kSourceHistoryFileName = "sources.txt";
// How each schedule line's source is doing, across restarts.
inline constexpr const char* kSourceHealthFileName = "health.txt";

std::string ExecutablePath();
std::string ProgramFolderOf(const std::string& executablePath);
