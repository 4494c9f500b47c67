#include "chart/chart_picture.h"

#include "chart/preview_file.h"
#include "gif/gif_image.h"
#include "imaging/bitmap.h"
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

// The encoder reads the picture through its own copy: saving is no change of the chart.
template <class TImage>
std::vector<uint8_t> EncodedAs(const TBitmap& picture) {
  TImage image;
  image.Assign(picture);
  return Encoded(image);
}

}  // namespace

std::shared_ptr<const TBitmap> DecodeChart(const std::string& fileName) {
  auto picture = std::make_shared<TBitmap>();
  TImageScrollBox viewer;
  TDisplayNotes notes;
  if (!DisplayDownloadedFile(fileName, viewer, *picture, &notes)) return nullptr;
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
  // With the image's defaults: the web palette, no dithering, one frame.
  if (extension == ".gif") return EncodedAs<TGIFImage>(picture);
  if (extension == ".png") return EncodedAs<TPNGImage>(picture);
  if (extension != ".jpg" && extension != ".jpeg") return std::nullopt;
  TJPEGImage jpeg;
  jpeg.SetCompressionQuality(static_cast<uint8_t>(jpegQuality()));
  jpeg.Assign(picture);
  return Encoded(jpeg);
}
