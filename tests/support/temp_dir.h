#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.

#include <cstdint>
#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, ending in "/".
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Whole-file helpers for tests.
std::string ReadWholeFile(const std::string& fileName);
void WriteWholeFile(const std::string& fileName, const std::string& bytes);
bool FileExists(const std::string& fileName);
// The bytes of disk the file's blocks take, whatever its size says.
int64_t DiskBytes(const std::string& fileName);
// The names of the files in the folder, sorted.
std::vector<std::string> FileNamesIn(const std::string& folder);
