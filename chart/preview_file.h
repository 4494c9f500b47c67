#pragma once
// The fetch job's rules for the preview bitmap, shared with the command-line tools:
// a downloaded file is shown by its extension, and the preview is saved by the extension
// of the target name.

#include <functional>
#include <string>

class TGraphic;
class TPicture;
class TBitmap;
class TImageScrollBox;

// What the reader noticed while a file was shown: whether the picture is only part of
// the image because the data ended early, and its warnings, one line each.
struct TDisplayNotes {
  bool Truncated = false;
  std::string Warnings;
  void Take(const TGraphic& Image);
};

// How the preview holds what a file shows: always at 24 bits per pixel, or, where drawing
// the picture would show just an indexed bitmap of its own (a GIF of one frame that fills
// its screen), as that bitmap, sharing its pixels and palette.
enum TPreviewPixels { ppTrueColor, ppIndexedWhenPlain };

// Draws the file into the preview when its extension (lower-cased) is one that is shown:
// the preview is sized to the image (height first, then width) and the image drawn at
// (0, 0). Answers false, leaving the preview as it was, for any other extension.
// Notes, when given, receive what the reader noticed; without them a picture cut short
// raises EInvalidGraphic "<file>: the image data ends early" and the preview stays as it
// was.
bool DisplayPreviewFile(const std::string& FileName, TBitmap& Preview,
                        TDisplayNotes* Notes = nullptr);

// Shows the file in the image viewer (every page read, the first shown) and draws the
// viewer's display graphic into the preview the same way: how TIFF files are shown.
void DisplayViewerFile(const std::string& FileName, TImageScrollBox& Viewer, TBitmap& Preview,
                       TDisplayNotes* Notes = nullptr);

// The fetch job's and the preview window's rule: a file that begins with the signature of
// GIF, JPEG, PNG, TIFF or BMP is shown as that kind, whatever its name says; any other by
// its extension: ".gif", ".jpg"/".jpeg" and ".png" as above, ".tif"/".tiff" through the
// window's viewer. Answers false for any other file. A file that cannot be opened raises
// EFOpenError.
bool DisplayDownloadedFile(const std::string& FileName, TImageScrollBox& Viewer, TBitmap& Preview,
                           TDisplayNotes* Notes = nullptr, TPreviewPixels Pixels = ppTrueColor);

// Saves the preview picture by the name's extension: ".bmp" through the picture (the
// bitmap's own format), ".gif" as a GIF of one frame reduced to the web palette (which
// leaves the bitmap at 24 bits per pixel), ".jpg"/".jpeg" as JPEG at the quality asked for
// just then, ".png" as a lossless PNG.
// Answers false, writing nothing, for any other extension.
bool SavePreviewFile(TPicture& Preview, const std::string& FileName,
                     const std::function<int()>& JpegQuality);
