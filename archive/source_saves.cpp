#include "archive/source_saves.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr char kCodeMark = '@';
// What each date code expands to, '9' standing for a digit: "@X" is "(DD) HH:MM:SS", the
// others two digits. Any other letter expands to nothing.
std::string CodeShape(char letter) {
  if (letter == 'X') return "(99) 99:99:99";
  if (std::string_view("YMDHNS").find(letter) != std::string_view::npos) return "99";
  return "";
}

struct TShapeChar {
  char c;
  bool digit;
};

std::vector<TShapeChar> TargetShape(const std::string& target) {
  std::vector<TShapeChar> shape;
  for (size_t i = 0; i < target.size(); ++i) {
    if (target[i] != kCodeMark) {
      shape.push_back({target[i], false});
      continue;
    }
    const char letter = i + 1 < target.size() ? target[++i] : '\0';
    for (const char c : CodeShape(letter)) shape.push_back({c, c == '9'});
  }
  return shape;
}

bool Fits(const TShapeChar& expected, char c) {
  return expected.digit ? std::isdigit(static_cast<unsigned char>(c)) != 0 : expected.c == c;
}

}  // namespace

bool SavedByTarget(const std::string& path, const std::string& target,
                   const std::string& programFolder) {
  if (target.empty()) return false;
  const std::string full = target.front() == '/' ? target : programFolder + target;
  const std::vector<TShapeChar> shape = TargetShape(full);
  return shape.size() == path.size() && std::equal(shape.begin(), shape.end(), path.begin(), Fits);
}

std::vector<TSavedFile> NewestSavesOf(const std::vector<TSavedFile>& saves,
                                      const std::string& target, const std::string& programFolder,
                                      size_t count) {
  std::vector<TSavedFile> found;
  for (auto save = saves.rbegin(); save != saves.rend() && found.size() < count; ++save) {
    if (SavedByTarget(save->path, target, programFolder)) found.push_back(*save);
  }
  std::reverse(found.begin(), found.end());
  return found;
}
