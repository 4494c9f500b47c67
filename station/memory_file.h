#pragma once
// Reading and replacing one of the station's small memory files in the program folder.

#include <string>

// The file's bytes; "" when it does not exist yet. Raises the runtime's file error when it
// is there and cannot be read.
std::string ReadMemoryFile(const std::string& fileName);

// Replaces the file with text, never leaving it half-written; answers whether it could.
bool WriteMemoryFile(const std::string& fileName, const std::string& text);
