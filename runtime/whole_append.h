#pragma once
// Appending to files that other readers take line by line (the log, the list of saved
// files): each call is one O_APPEND write, so that what it adds is never mixed with another
// writer's bytes, and a part written before the disk filled is cut off again, so that no
// half line is left to be glued to the next one.

#include <string>

// Appends bytes to the file (made when missing) whole or not at all; false when it could
// not.
bool AppendWhole(const std::string& fileName, const std::string& bytes);
