#pragma once
// A downloaded chart as the station handles it: decoded into a picture of its own on a
// fresh white background, checked to be whole, and encoded for its save in memory, so
// that all of it can run on a worker thread and nothing is written before it succeeded.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chart/preview_file.h"

class TBitmap;

// The downloaded file drawn at (0, 0) on a new white picture of its size, never over an
// earlier chart: a transparent pixel shows white. Unless pixels says otherwise, a GIF of
// one frame that fills its screen opaque stays that frame's indexed bitmap instead. The file's
// signature (or its name's extension) chooses the reader. Null when the file is no image the
// program shows. Raises EInvalidGraphic "the picture is cut or damaged" when the reader marks it
// so, and "the download holds no picture (0 x 0)"; the reader's own errors pass on.
std::shared_ptr<const TBitmap> DecodeChart(const std::string& fileName,
                                           TPreviewPixels pixels = ppIndexedWhenPlain);

// "the download is not an image (text/html)", or "(no type given)".
std::string NotAnImageText(const std::string& contentType);

// The picture in the format that the extension of fileName names (".bmp", ".gif" on the
// web palette, ".jpg"/".jpeg" at the quality asked for just then, ".png"); none for any
// other extension, for which nothing is saved. An indexed picture is saved as its 24-bit
// copy would be.
std::optional<std::vector<uint8_t>> EncodeChart(const TBitmap& picture, const std::string& fileName,
                                                const std::function<int()>& jpegQuality);
