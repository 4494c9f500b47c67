#pragma once
// Every image format the program reads and writes, registered for this object's lifetime:
// JPEG, the image library's (TIFF, Netpbm) and GIF. The program, its tools and the
// end-to-end tests start with one.

#include "imaging/image_library.h"

// What the bitmaps hold when no screen tells its depth.
inline constexpr int kTrueColorBits = 24;

class TProgramFormats {
 public:
  // GIF drawing follows the screen's depth: 8 bits or fewer select the web palette.
  explicit TProgramFormats(int screenBitsPerPixel = kTrueColorBits);
  ~TProgramFormats();
  TProgramFormats(const TProgramFormats&) = delete;
  TProgramFormats& operator=(const TProgramFormats&) = delete;

 private:
  struct TJPEGFormats {
    TJPEGFormats();
    ~TJPEGFormats();
  };
  TJPEGFormats jpeg_;
  TImageLibraryFormats imageLibrary_;
};
