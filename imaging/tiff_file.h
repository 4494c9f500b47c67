#pragma once
// A libtiff handle over one of our streams, closed when the object goes. The file may
// start anywhere in a stream. libtiff's messages never reach standard error: its warnings
// are dropped, and its last error is kept as the reason of the next failure raised.

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

class TStream;

class TTiffFile {
 public:
  enum TMode { tmRead, tmWrite };

  // Reading takes the rest of the stream into memory (a memory stream's bytes are used
  // where they are) and lets libtiff map it: its readers need no seeking then, and some
  // of them (uncompressed tiles) only work on mapped files. The first directory is read.
  // Writing writes at the stream's position. Raises ETiffError "ETiffError TIFFOpen"
  // when libtiff refuses.
  TTiffFile(TStream& Stream, TMode Mode);
  ~TTiffFile();
  TTiffFile(const TTiffFile&) = delete;
  TTiffFile& operator=(const TTiffFile&) = delete;

  TIFF* Handle() const { return tiff_; }
  // Reading: the bytes of the file.
  int64_t Size() const { return size_; }

 private:
  friend struct TTiffCallbacks;

  TStream& stream_;
  int64_t base_;
  // Reading: the file's bytes and the read position in them.
  std::vector<uint8_t> copy_;
  uint8_t* data_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
  TIFF* tiff_ = nullptr;
};

// ETiffError whose message is the class name, a blank and the failing item.
[[noreturn]] void RaiseTiffError(const std::string& Item);
// The same for a libtiff call that failed, with libtiff's own reason after a colon when
// it gave one since the file was opened.
[[noreturn]] void RaiseTiffLibraryError(const std::string& Item);
// A reason libtiff answered other than through its error handler.
void NoteTiffLibraryError(const std::string& Reason);
