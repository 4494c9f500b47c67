#include "chart/preview_file.h"

#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/image_scroll_box.h"
#include "imaging/image_signature.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "imaging/png_image.h"

#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kEndsEarly = ": the image data ends early";

bool IsJpegExtension(const std::string& extension) {
  return extension == ".jpg" || extension == ".jpeg";
}

// The GIF's own indexed bitmap, when drawing it would show just that bitmap.
const TBitmap* PlainIndexedBitmap(TGraphic& image) {
  auto* gif = dynamic_cast<TGIFImage*>(&image);
  return gif != nullptr ? gif->ScreenBitmap() : nullptr;
}

void DrawInto(TGraphic& image, TBitmap& preview, TPreviewPixels pixels) {
  if (pixels == ppIndexedWhenPlain) {
    if (const TBitmap* plain = PlainIndexedBitmap(image)) {
      preview.Assign(*plain);
      return;
    }
  }
  preview.SetHeight(image.Height());
  preview.SetWidth(image.Width());
  preview.Canvas().Draw(0, 0, image);
}

// JPEG images decode when drawn: only then is it known whether the data ended early, as
// Loaded (the image itself, or what the viewer read) says. Without notes to take it, a
// cut picture raises and the preview stays as it was (kept by sharing its pixels).
void DrawInto(TGraphic& image, const TGraphic& loaded, TBitmap& preview, TDisplayNotes* notes,
              const std::string& fileName, TPreviewPixels pixels) {
  const TBitmap shown(preview);
  DrawInto(image, preview, pixels);
  if (notes != nullptr) {
    notes->Take(loaded);
  } else if (loaded.Truncated()) {
    preview.Assign(shown);
    throw EInvalidGraphic(fileName + kEndsEarly);
  }
}

template <class TImage>
void LoadAndDraw(const std::string& fileName, TBitmap& preview, TDisplayNotes* notes,
                 TPreviewPixels pixels) {
  TImage image;
  image.LoadFromFile(fileName);
  DrawInto(image, image, preview, notes, fileName, pixels);
}

bool IsTiffExtension(const std::string& extension) {
  return extension == ".tif" || extension == ".tiff";
}

// Draws the file as the kind the extension names; false for a kind not shown here.
bool DisplayAs(const std::string& extension, const std::string& fileName, TBitmap& preview,
               TDisplayNotes* notes, TPreviewPixels pixels) {
  if (extension == ".gif")
    LoadAndDraw<TGIFImage>(fileName, preview, notes, pixels);
  else if (extension == ".png")
    LoadAndDraw<TPNGImage>(fileName, preview, notes, pixels);
  else if (IsJpegExtension(extension))
    LoadAndDraw<TJPEGImage>(fileName, preview, notes, pixels);
  else
    return false;
  return true;
}

void DisplayInViewer(const std::string& fileName, const std::string& formatName,
                     TImageScrollBox& viewer, TBitmap& preview, TDisplayNotes* notes) {
  constexpr int kAllPages = 0;
  if (formatName == fileName) {
    viewer.LoadFromFile(fileName, kAllPages);
  } else {
    TFileStream file(fileName, fmOpenRead);
    viewer.LoadFromStream(file, formatName, kAllPages);
  }
  DrawInto(viewer.DisplayGraphic(), viewer.Graphic(), preview, notes, fileName, ppTrueColor);
}

}  // namespace

void TDisplayNotes::Take(const TGraphic& Image) {
  Truncated = Truncated || Image.Truncated();
  if (Image.Warnings().empty()) return;
  if (!Warnings.empty()) Warnings += '\n';
  Warnings += Image.Warnings();
}

bool DisplayPreviewFile(const std::string& FileName, TBitmap& Preview, TDisplayNotes* Notes) {
  return DisplayAs(LowerCase(ExtractFileExt(FileName)), FileName, Preview, Notes, ppTrueColor);
}

void DisplayViewerFile(const std::string& FileName, TImageScrollBox& Viewer, TBitmap& Preview,
                       TDisplayNotes* Notes) {
  DisplayInViewer(FileName, FileName, Viewer, Preview, Notes);
}

bool DisplayDownloadedFile(const std::string& FileName, TImageScrollBox& Viewer, TBitmap& Preview,
                           TDisplayNotes* Notes, TPreviewPixels Pixels) {
  // The bytes choose the reader whenever they carry a known signature (a PNG served as
  // chart.gif, a script's address chart.php?id=5); the name only when they do not.
  const std::string signature = ImageKindOfFile(FileName);
  const std::string extension = LowerCase(ExtractFileExt(FileName));
  const std::string kind = signature.empty() ? extension : signature;
  if (IsTiffExtension(kind)) {
    DisplayInViewer(FileName, IsTiffExtension(extension) ? FileName : FileName + kind, Viewer,
                    Preview, Notes);
    return true;
  }
  if (signature == ".bmp") {
    LoadAndDraw<TBitmap>(FileName, Preview, Notes, Pixels);
    return true;
  }
  return DisplayAs(kind, FileName, Preview, Notes, Pixels);
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
