#include "runtime/strings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

std::string Copy(const std::string& s, int64_t index, int64_t count) {
  if (index < 1) index = 1;
  if (count <= 0 || index > static_cast<int64_t>(s.size())) return {};
  return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

int Pos(const std::string& sub, const std::string& s) {
  if (sub.empty()) return 0;
  const size_t at = s.find(sub);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string TrimLeft(const std::string& s) {
  size_t first = 0;
  while (first < s.size() && IsBlank(s[first])) ++first;
  return s.substr(first);
}

std::string TrimRight(const std::string& s) {
  size_t end = s.size();
  while (end > 0 && IsBlank(s[end - 1])) --end;
  return s.substr(0, end);
}

std::string Trim(const std::string& s) {
  return TrimLeft(TrimRight(s));
}

std::string UpperCase(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string LowerCase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string FixWidth(const std::string& s, size_t width) {
  std::string result = s.substr(0, std::min(s.size(), width));
  result.resize(width, ' ');
  return result;
}

std::string TwoDigits(int value) {
  std::string text = IntToStr(value);
  while (text.size() < 2) text.insert(text.begin(), '0');
  return text;
}

std::string IntToStr(int64_t value) {
  return std::to_string(value);
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(result.data(), result.size() + 1, format, args);
  va_end(args);
  return result;
}

std::string ExtractFileName(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string ExtractFileExt(const std::string& name) {
  const std::string last = ExtractFileName(name);
  const size_t dot = last.rfind('.');
  return dot == std::string::npos ? std::string() : last.substr(dot);
}
