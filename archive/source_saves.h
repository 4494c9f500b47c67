#pragma once
// Which saves of saved.txt a schedule line made: the saved path is the line's target name
// with each date code standing for the digits it expands to. The list knows paths only, so
// the target name is what ties a save to its source.

#include <string>
#include <vector>

#include "archive/saved_list.h"

// Whether path is what the target name (date codes unexpanded; relative to programFolder,
// which ends in "/", unless absolute) expands to at some time.
bool SavedByTarget(const std::string& path, const std::string& target,
                   const std::string& programFolder);

// The newest `count` of the saves (oldest first, as LatestSaves answers them) that the
// target name made, oldest first.
std::vector<TSavedFile> NewestSavesOf(const std::vector<TSavedFile>& saves,
                                      const std::string& target, const std::string& programFolder,
                                      size_t count);
