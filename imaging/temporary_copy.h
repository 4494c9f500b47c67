#pragma once
// A copy of the rest of a stream in a new file of the system's temporary folder, for
// readers that only take file names. The file is named "En", the first counter from 0
// that gives no existing file, a dot and the given name; it is deleted when the object
// goes.

#include <string>

class TStream;

class TTemporaryCopy {
 public:
  // Raises EFCreateError "Cannot create file %s" when no file can be made.
  TTemporaryCopy(TStream& Source, const std::string& Name);
  ~TTemporaryCopy();
  TTemporaryCopy(const TTemporaryCopy&) = delete;
  TTemporaryCopy& operator=(const TTemporaryCopy&) = delete;

  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
};
