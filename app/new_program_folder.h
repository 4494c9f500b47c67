#pragma once
// A program folder made on first start, with the example lists in it, so that a fresh
// installation starts from a catalogue of sources and an empty schedule.

#include <string>

// Makes the folder (and its parents) when it does not exist, with the files of the
// examples folder copied in; a folder that exists is left as it is. Answers the log line
// that says what was made, or "" when nothing was. Raises Exception when the folder
// cannot be made.
std::string MakeProgramFolder(const std::string& folder, const std::string& examplesFolder);
