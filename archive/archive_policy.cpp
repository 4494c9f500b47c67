#include "archive/archive_policy.h"

#include <sys/stat.h>

#include <cerrno>
#include <sstream>

#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "runtime/text_file.h"

namespace {

constexpr const char* kKeepDays = "keep-days";
constexpr const char* kKeepMegabytes = "keep-megabytes";
// Past a century of days or an exabyte a number is a typing error, not a policy.
constexpr int64_t kMostDays = 36500;
constexpr int64_t kMostMegabytes = int64_t{1} << 40;
constexpr size_t kMostDigits = 13;

bool IsComment(const std::string& line) {
  const std::string trimmed = Trim(line);
  return trimmed.empty() || trimmed[0] == '#';
}

// A whole number from 1 to most, written in plain decimal digits only.
std::optional<int64_t> PositiveNumber(const std::string& word, int64_t most) {
  if (word.empty() || word.size() > kMostDigits) return std::nullopt;
  int64_t value = 0;
  for (const char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > most) return std::nullopt;
  return value;
}

void SetOnce(std::optional<int64_t>& setting, const std::string& name, const std::string& word,
             int64_t most, const std::string& where) {
  if (setting) throw Exception(where + name + " is given twice");
  setting = PositiveNumber(word, most);
  if (!setting)
    throw Exception(where + name + " needs a whole number from 1 to " + IntToStr(most) +
                    ", not \"" + word + "\"");
}

void ParseLine(const std::string& line, const std::string& where, TArchivePolicy& policy) {
  std::istringstream words(line);
  std::string name, number, extra;
  words >> name >> number >> extra;
  if (!extra.empty()) throw Exception(where + "more than a setting and its number");
  if (name == kKeepDays)
    SetOnce(policy.keepDays, name, number, kMostDays, where);
  else if (name == kKeepMegabytes)
    SetOnce(policy.keepMegabytes, name, number, kMostMegabytes, where);
  else
    throw Exception(where + "\"" + name + "\" is neither " + kKeepDays + " nor " + kKeepMegabytes);
}

}  // namespace

TArchivePolicy ParseArchivePolicy(const std::vector<std::string>& lines) {
  TArchivePolicy policy;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (IsComment(lines[i])) continue;
    ParseLine(lines[i], "line " + IntToStr(static_cast<int64_t>(i + 1)) + ": ", policy);
  }
  return policy;
}

std::optional<TArchivePolicy> ReadArchivePolicy(const std::string& fileName) {
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0 && errno == ENOENT) return std::nullopt;
  return ParseArchivePolicy(ReadTextFile(fileName));
}
