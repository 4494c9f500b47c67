#pragma once
// The image library's device-independent bitmap graphic: an image in one of six formats
// (black and white, 16 or 256 shades of gray, 16 or 256 colours, true colour) with its
// resolution in dots per inch, and for files of several pages (TIFF) the list of pages.
//
// A plain TDibGraphic reads and writes BMP files; the classes derived from it (TIFF, PPM)
// read their own files page by page through CountPages and ReadPage.

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/data_bound.h"
#include "imaging/dib.h"
#include "imaging/graphic.h"
#include "imaging/pixel_limit.h"
#include "runtime/message_loop.h"

enum TImageFormat {
  ifBlackWhite,
  ifGray16,
  ifGray256,
  ifColor16,
  ifColor256,
  ifTrueColor,
};

// "Black and white", "16 shades of gray", ... as used in messages.
const char* ImageFormatName(TImageFormat Format);
TPixelFormat PixelFormatOf(TImageFormat Format);
// The palette a new image of the format gets when none is given: black and white, 16 or
// 256 greys; empty for the others.
TPalette DefaultPalette(TImageFormat Format);

// What a resolution of 0 stands for.
inline constexpr uint16_t kScreenResolution = 96;
// The message of the progress reports while a file is read.
inline constexpr const char* kLoadingMessage = "Loading...";
// How often the page timer shows the next page.
inline constexpr uint32_t kPageTimerInterval = 200;

class TDibGraphic : public TGraphic {
 public:
  TDibGraphic();
  ~TDibGraphic() override;

  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // With ReadAllPages: every page into the page list, the first one shown (a file of one
  // page is read as page 1 and the flag cleared). Without it: page PageToRead. A page
  // outside 1..page count raises EImagingError "Frame %d does not exist".
  void LoadFromStream(TStream& Stream) override;
  // A plain TDibGraphic writes a BMP file.
  void SaveToStream(TStream& Stream) override;

  int Width() const override { return dib_.Width; }
  int Height() const override { return dib_.Height; }
  // Keep the old content at the top-left; new pixels are white.
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Empty() const override { return dib_.Empty(); }

  void Draw(TCanvas& Canvas, const TRect& R) override;
  // From another TDibGraphic: its format, palette, resolutions and pixels (not its pages).
  // From a TBitmap: its pixels and palette. Either way the source's load warnings too. From any
  // other graphic: a true-colour image of its size, zero-filled, onto which it draws itself.
  void Assign(const TGraphic& Source) override;
  // To a TBitmap: the pixels and palette.
  void AssignTo(TGraphic& Dest) const override;

  TPalette Palette() override { return dib_.Palette; }
  // Indexed formats: the new colour table, pixel indices unchanged (a gray format whose
  // palette is no longer its default becomes the colour format of its depth).
  void SetPalette(const TPalette& Value) override;

  // Frees the previous pixels and makes a zero-filled image of this shape. Resolutions of
  // 0 mean the screen's; formats 0-4 without a palette get the default one. Raises
  // EImagingError "Internal error: Invalid image format" for a format outside 0-5, and
  // refuses images of more than MaxPixels() pixels before allocating.
  void Allocate(int Width, int Height, int XResolution, int YResolution, const TPalette& Palette,
                TImageFormat Format);
  TImageFormat ImageFormat() const { return format_; }
  uint16_t XResolution() const { return xResolution_; }
  uint16_t YResolution() const { return yResolution_; }

  // Row y counted from the top (no range check), in the layout of the pixel format.
  uint8_t* ScanLine(int y) { return dib_.Row(y); }
  const uint8_t* ScanLine(int y) const { return dib_.Row(y); }
  int64_t RowSize() const { return dib_.RowSize(); }
  // Indexed formats store the nearest palette entry.
  void SetPixel(int x, int y, TRGBColor Color);
  TRGBColor Pixel(int x, int y) const;
  const TDib& Dib() const { return dib_; }
  // Tells listeners that the pixels were changed through ScanLine.
  void Modified() { Changed(); }

  // Pages read with ReadAllPages, 1-based; CurrentPage 0 means none shown.
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TDibGraphic& Page(int Number) const;
  int CurrentPage() const { return currentPage_; }
  // Copies page Number of the list into this graphic; the warnings stay those of the load.
  void ShowPage(int Number);
  int PageToRead() const { return pageToRead_; }
  void SetPageToRead(int Value) { pageToRead_ = Value; }
  bool ReadAllPages() const { return readAllPages_; }
  void SetReadAllPages(bool Value) { readAllPages_ = Value; }
  // While on, the next page (after the last, the first) is shown every
  // kPageTimerInterval ms by the thread's message loop.
  bool PageTimerEnabled() const { return pageTimer_ != 0; }
  void SetPageTimerEnabled(bool Value);

  // Tells the progress listener how far reading has come.
  void ReportProgress(TProgressStage Stage, int PercentDone);

  int64_t MaxPixels() const { return maxPixels_; }
  void SetMaxPixels(int64_t Value) { maxPixels_ = Value; }
  // The pixels a load may make beyond what the file's data can encode (see data_bound.h):
  // kPixelsWithoutData at each load, shared by all the pages of the file, so that many
  // small pages of no data cannot each take it.
  int64_t PixelsWithoutData() const { return pixelsWithoutData_; }
  void SetPixelsWithoutData(int64_t Value) { pixelsWithoutData_ = Value; }

  // The number of pages of the file at the stream's position; 1 for single-image formats.
  virtual int CountPages(TStream& Stream);
  // Reads page Number (1-based, in 1..CountPages) of the file at the stream's position.
  // A plain TDibGraphic reads a BMP file.
  virtual void ReadPage(TStream& Stream, int Number);

 protected:
  // Refuses, before anything is allocated, an image of more than MaxPixels() pixels.
  void CheckSize(int64_t Width, int64_t Height) const;
  // False when a Width x Height page whose data encode at most DataPixels leaves more pixels
  // unmade than PixelsWithoutData(); else takes those from it.
  bool TakePixelsWithoutData(int64_t Width, int64_t Height, int64_t DataPixels);
  // Takes over a finished image: the format follows from its pixel format and palette.
  void SetDib(TDib Value);

 private:
  void CopyImage(const TDibGraphic& Source);
  void ReadAll(TStream& Stream, int64_t Start, int Count);
  void NextPage();

  TDib dib_;
  TImageFormat format_ = ifTrueColor;
  uint16_t xResolution_ = kScreenResolution;
  uint16_t yResolution_ = kScreenResolution;
  std::vector<std::unique_ptr<TDibGraphic>> pages_;
  int currentPage_ = 0;
  int pageToRead_ = 1;
  bool readAllPages_ = false;
  int64_t maxPixels_ = ImagePixelLimit();
  int64_t pixelsWithoutData_ = kPixelsWithoutData;
  TWindowHandle pageTimer_ = 0;
};
