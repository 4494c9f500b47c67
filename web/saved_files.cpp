#include "web/saved_files.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"

std::string SavedFileId(const std::string& path) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : path) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  char id[17];
  std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(hash));
  return id;
}

std::optional<TSavedFile> ListedFile(std::string_view savedListBytes, const std::string& id) {
  for (const TSavedFile& save : LatestSaves(ParseSavedList(savedListBytes)))
    if (SavedFileId(save.path) == id) return save;
  return std::nullopt;
}

bool IsListed(std::string_view savedListBytes, const std::string& path) {
  const auto listed = ListedFile(savedListBytes, SavedFileId(path));
  return listed && listed->path == path;
}

bool IsPlainFile(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ContentTypeOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : LowerCase(path.substr(dot + 1));
  if (extension == "gif") return "image/gif";
  if (extension == "jpg" || extension == "jpeg") return "image/jpeg";
  if (extension == "bmp") return "image/bmp";
  if (extension == "png") return "image/png";
  if (extension == "tif" || extension == "tiff") return "image/tiff";
  return "application/octet-stream";
}
