#pragma once
// Every image format the program reads and writes, registered for this object's lifetime:
// JPEG, PNG, the image library's (TIFF, Netpbm) and GIF. The program, its tools and the
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
  // One module's rows, registered from construction to destruction.
  class TModuleFormats {
   public:
    TModuleFormats(void (*Register)(), void (*Unregister)()) : unregister_(Unregister) {
      Register();
    }
    ~TModuleFormats() { unregister_(); }
    TModuleFormats(const TModuleFormats&) = delete;
    TModuleFormats& operator=(const TModuleFormats&) = delete;

   private:
    void (*unregister_)();
  };
  TModuleFormats jpeg_;
  TModuleFormats png_;
  TImageLibraryFormats imageLibrary_;
};
