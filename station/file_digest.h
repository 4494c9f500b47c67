#pragma once
// The SHA-256 of a file's bytes, to tell a download that repeats the last one.

#include <string>

// Lower-case hex; "" when the file cannot be read.
std::string FileDigest(const std::string& fileName);
