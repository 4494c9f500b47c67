#include "chart/chart_picture.h"

#include "chart/preview_file.h"
#include "gif/gif_frame_import.h"
#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/image_scroll_box.h"
#include "imaging/jpeg_image.h"
#include "imaging/png_image.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

std::vector<uint8_t> Encoded(TGraphic& image) {
  TMemoryStream bytes;
  image.SaveToStream(bytes);
  return bytes.Bytes();
}

// The chart at 24 bits per pixel, as the BMP, PNG and JPEG saves are made from it: an
// indexed chart drawn onto a new picture, as it would have been shown.
TBitmap TrueColor(const TBitmap& picture) {
  if (!IsIndexed(picture.PixelFormat())) return picture;
  TBitmap drawn;
  drawn.SetSize(picture.Width(), picture.Height());
  drawn.Canvas().StretchBitmap(Rect(0, 0, picture.Width(), picture.Height()), picture);
  return drawn;
}

// The encoder reads the picture through its own copy: saving is no change of the chart.
template <class TImage>
std::vector<uint8_t> EncodedAs(const TBitmap& picture) {
  TImage image;
  image.Assign(TrueColor(picture));
  return Encoded(image);
}

// With the image's defaults: the web palette, no dithering, one frame. The reduction reads
// an indexed chart's colours straight from its palette.
std::vector<uint8_t> EncodedAsGif(const TBitmap& picture) {
  TGIFImage gif;
  AssignReducedBitmap(gif, picture);
  return Encoded(gif);
}

}  // namespace

std::shared_ptr<const TBitmap> DecodeChart(const std::string& fileName, TPreviewPixels pixels) {
  auto picture = std::make_shared<TBitmap>();
  TImageScrollBox viewer;
  TDisplayNotes notes;
  if (!DisplayDownloadedFile(fileName, viewer, *picture, &notes, pixels)) return nullptr;
  // A cut download is retried, never saved or printed as the chart.
  if (notes.Truncated) throw EInvalidGraphic("the picture is cut or damaged");
  if (picture->Width() == 0 || picture->Height() == 0)
    throw EInvalidGraphic("the download holds no picture (0 x 0)");
  return picture;
}

std::string NotAnImageText(const std::string& contentType) {
  return "the download is not an image (" + (contentType.empty() ? "no type given" : contentType) +
         ")";
}

std::optional<std::vector<uint8_t>> EncodeChart(const TBitmap& picture, const std::string& fileName,
                                                const std::function<int()>& jpegQuality) {
  const std::string extension = LowerCase(ExtractFileExt(fileName));
  if (extension == ".bmp") return EncodedAs<TBitmap>(picture);
  if (extension == ".gif") return EncodedAsGif(picture);
  if (extension == ".png") return EncodedAs<TPNGImage>(picture);
  if (extension != ".jpg" && extension != ".jpeg") return std::nullopt;
  TJPEGImage jpeg;
  jpeg.SetCompressionQuality(static_cast<uint8_t>(jpegQuality()));
  jpeg.Assign(TrueColor(picture));
  return Encoded(jpeg);
}
