#pragma once
// The program folder: the folder of the executable, ending in "/".

#include <string>

std::string ExecutablePath();
std::string ProgramFolderOf(const std::string& executablePath);
