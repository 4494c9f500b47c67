#pragma once
// Start and shut-down of the image library: while an object of this class lives, PPM,
// PGM, PBM, TIF and TIFF are registered both in the picture format registry and in the
// image library's own list.

class TImageLibraryFormats {
 public:
  TImageLibraryFormats();
  ~TImageLibraryFormats();
  TImageLibraryFormats(const TImageLibraryFormats&) = delete;
  TImageLibraryFormats& operator=(const TImageLibraryFormats&) = delete;
};
