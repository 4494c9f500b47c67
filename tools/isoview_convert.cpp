// isoview-convert [-q QUALITY] IN OUT: loads IN into a preview bitmap the way the fetch
// job shows a downloaded file (the reader chosen by the file's signature, else by its
// name), saves it as OUT the way the fetch job saves a target name, and prints the
// preview's size as WxH. The reader's warnings go to standard error. On failure, and for
// an empty picture, it prints the error and exits with 1; a picture kept from data that
// ended early or was damaged is still written, and the exit status is 1 too.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "chart/preview_file.h"
#include "imaging/bitmap.h"
#include "imaging/dib_formats.h"
#include "imaging/image_library.h"
#include "imaging/image_scroll_box.h"
#include "imaging/image_signature.h"
#include "imaging/picture.h"
#include "runtime/conversion.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr int kDefaultQuality = 75;
constexpr int kLowestQuality = 0;
constexpr int kHighestQuality = 100;
constexpr const char* kUsage = "usage: isoview-convert [-q QUALITY] IN OUT";
// The reader's own warning, printed before it, says which.
constexpr const char* kIncomplete = "the picture is incomplete: its data ends early or is damaged";

struct TArguments {
  int quality = kDefaultQuality;
  std::string in;
  std::string out;
};

TArguments Parse(const std::vector<std::string>& args) {
  TArguments parsed;
  size_t i = 0;
  if (args.size() == 4 && args[0] == "-q") {
    const int64_t quality = StrToInt(args[1]);
    if (quality < kLowestQuality || quality > kHighestQuality)
      throw Exception("QUALITY must be from 0 to 100");
    parsed.quality = static_cast<int>(quality);
    i = 2;
  }
  if (args.size() != i + 2) throw Exception(kUsage);
  parsed.in = args[i];
  parsed.out = args[i + 1];
  return parsed;
}

// Draws IN into the preview as the fetch job shows a download; files of the image
// library's other kinds (Netpbm) through its viewer, and BMP files (the program's own
// saves) into the preview bitmap itself.
void Load(const std::string& in, TPicture& preview, TDisplayNotes& notes) {
  TBitmap& bitmap = preview.Bitmap();
  TImageScrollBox viewer;
  if (ReadingKind(in) == ".bmp") {
    bitmap.LoadFromFile(in);
    notes.Take(bitmap);
  } else if (!DisplayDownloadedFile(in, viewer, bitmap, &notes)) {
    if (!DibFormats().Find(in))
      throw Exception("Cannot read " + in + ": files of this kind are not shown");
    DisplayViewerFile(in, viewer, bitmap, &notes);
  }
}

// True when the picture is only part of the image.
bool Convert(const TArguments& args) {
  TPicture preview;
  TDisplayNotes notes;
  Load(args.in, preview, notes);
  if (preview.Width() == 0 || preview.Height() == 0)
    throw Exception("Cannot write " + args.out + ": " + args.in + " holds an empty picture");
  if (!SavePreviewFile(preview, args.out, [&] { return args.quality; }))
    throw Exception("Cannot write " + args.out + ": files of this kind are not saved");
  std::printf("%dx%d\n", preview.Width(), preview.Height());
  if (!notes.Warnings.empty())
    std::fprintf(stderr, "%s: %s\n", args.in.c_str(), notes.Warnings.c_str());
  if (notes.Truncated) std::fprintf(stderr, "%s: %s\n", args.in.c_str(), kIncomplete);
  return notes.Truncated;
}

}  // namespace

int main(int argc, char** argv) {
  const TImageLibraryFormats imageLibraryFormats;
  try {
    return Convert(Parse(std::vector<std::string>(argv + 1, argv + argc))) ? 1 : 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
