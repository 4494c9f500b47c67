#include "fetch/preview_file.h"

#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/image_scroll_box.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "imaging/png_image.h"
#include "runtime/strings.h"

namespace {

bool IsJpegExtension(const std::string& extension) {
  return extension == ".jpg" || extension == ".jpeg";
}

void DrawInto(TGraphic& image, TBitmap& preview) {
  preview.SetHeight(image.Height());
  preview.SetWidth(image.Width());
  preview.Canvas().Draw(0, 0, image);
}

template <class TImage>
void LoadAndDraw(const std::string& fileName, TBitmap& preview) {
  TImage image;
  image.LoadFromFile(fileName);
  DrawInto(image, preview);
}

}  // namespace

bool DisplayPreviewFile(const std::string& FileName, TBitmap& Preview) {
  const std::string extension = LowerCase(ExtractFileExt(FileName));
  if (extension == ".gif")
    LoadAndDraw<TGIFImage>(FileName, Preview);
  else if (extension == ".png")
    LoadAndDraw<TPNGImage>(FileName, Preview);
  else if (IsJpegExtension(extension))
    LoadAndDraw<TJPEGImage>(FileName, Preview);
  else
    return false;
  return true;
}

void DisplayViewerFile(const std::string& FileName, TImageScrollBox& Viewer, TBitmap& Preview) {
  constexpr int kAllPages = 0;
  Viewer.LoadFromFile(FileName, kAllPages);
  DrawInto(Viewer.DisplayGraphic(), Preview);
}

bool DisplayDownloadedFile(const std::string& FileName, TImageScrollBox& Viewer, TBitmap& Preview) {
  const std::string extension = LowerCase(ExtractFileExt(FileName));
  if (extension != ".tif" && extension != ".tiff") return DisplayPreviewFile(FileName, Preview);
  DisplayViewerFile(FileName, Viewer, Preview);
  return true;
}

bool SavePreviewFile(TPicture& Preview, const std::string& FileName,
                     const std::function<int()>& JpegQuality) {
  const std::string extension = LowerCase(ExtractFileExt(FileName));
  if (extension == ".bmp") {
    Preview.SaveToFile(FileName);
    return true;
  }
  if (extension == ".gif") {
    // With the image's defaults: the web palette, no dithering, one frame.
    TGIFImage gif;
    gif.Assign(Preview.Bitmap());
    gif.SaveToFile(FileName);
    return true;
  }
  if (extension == ".png") {
    TPNGImage png;
    png.Assign(Preview.Bitmap());
    png.SaveToFile(FileName);
    return true;
  }
  if (!IsJpegExtension(extension)) return false;
  TJPEGImage jpeg;
  jpeg.SetCompressionQuality(static_cast<uint8_t>(JpegQuality()));
  jpeg.Assign(Preview.Bitmap());
  jpeg.SaveToFile(FileName);
  return true;
}
