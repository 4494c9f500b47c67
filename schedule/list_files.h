#pragma once
// The two list files in the program folder, as the editor reads and writes them.

#include <string>
#include <vector>

#include "program/program_folder.h"
#include "schedule/resource_entry.h"
#include "schedule/schedule_event.h"

// Missing or unreadable files raise the runtime's file error.
std::vector<ScheduleEvent> LoadScheduleFile(const std::string& fileName);
std::vector<ResourceEntry> LoadResourceFile(const std::string& fileName);

// Writes "schedule.txt" from the events and "resource.txt" from the entries (title row
// first), one line per row. Both files are written before either is replaced, so a
// failure (a full disk, a folder that cannot be written) leaves both as they were.
void SaveListFiles(const std::string& programFolder, const std::vector<ScheduleEvent>& events,
                   const std::vector<ResourceEntry>& entries);
