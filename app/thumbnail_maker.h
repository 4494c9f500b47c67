#pragma once
// Small pictures of saved files for the archive window, read with the program's own
// readers by the same rule that shows a download.

#include <string>

#include "imaging/dib.h"

inline constexpr int kThumbnailWidth = 160;
inline constexpr int kThumbnailHeight = 120;

struct TThumbnailSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TThumbnailSize&, const TThumbnailSize&) = default;
};

// The largest size of the picture's shape within the box, never larger than the picture;
// each side at least 1 pixel.
TThumbnailSize ThumbnailSize(int Width, int Height, int MaxWidth, int MaxHeight);

// The picture in the file shrunk into the box, true colour. Raises the reader's error for
// a file that cannot be read, is cut short or holds no picture the program shows.
TDib MakeThumbnail(const std::string& FileName, int MaxWidth = kThumbnailWidth,
                   int MaxHeight = kThumbnailHeight);
