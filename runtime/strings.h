#pragma once
// String helpers with the runtime's conventions: positions count from 1, and a blank is
// any character of code 32 or below.

#include <cstdint>
#include <string>

inline bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Up to count characters from the 1-based index; out-of-range parts yield what exists.
std::string Copy(const std::string& s, int64_t index, int64_t count);
// 1-based position of the first occurrence of sub in s, 0 when absent.
int Pos(const std::string& sub, const std::string& s);

std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);

// ASCII-only case conversion: the files are single-byte text of no known code page.
std::string UpperCase(std::string s);
std::string LowerCase(std::string s);

// The text padded with spaces, or cut, to exactly width characters.
std::string FixWidth(const std::string& s, size_t width);
// The decimal number with "0" put in front while it has fewer than two digits.
std::string TwoDigits(int value);

std::string IntToStr(int64_t value);

// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// File-name parts. The extension runs from the last "." of the last path component on
// (dot included); the path ends with its separator.
std::string ExtractFileExt(const std::string& name);
std::string ExtractFilePath(const std::string& name);
std::string ExtractFileName(const std::string& name);
