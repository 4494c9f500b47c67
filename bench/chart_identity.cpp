// Shows that a chart kept indexed from decode to save gives exactly what the chart drawn at
// 24 bits gives: the same pixels shown, the same BMP, GIF, PNG and JPEG saves, and for the
// whole inputs the same GIF under every colour reduction with a fixed palette, the octree
// quantizer and every dither mode. The inputs are the repository's image files, the
// giflib pictures, the fetch job's chart and thousands of mutated copies of the smaller
// ones. Prints how many were compared, how many stayed indexed, and a hash of every save
// made the program's way, which a build of another commit can print to compare; exits 1
// at the first difference. Inputs whose decode outcome varies between runs (animated GIFs
// with a cut frame) are counted and left out.
// Usage: bench_chart_identity [MUTATIONS_PER_FILE]

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/identity_inputs.h"
#include "chart/chart_picture.h"
#include "gif/gif_frame_import.h"
#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "runtime/stream.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kMutationsPerFile = 150;
constexpr int kJpegQuality = 75;
// The reductions under every dither mode cost too much beyond this for thousands of runs.
constexpr int64_t kLargestReducedEveryWay = int64_t{1} << 20;
constexpr const char* kExtensions[] = {".gif", ".bmp", ".png", ".jpg"};

struct TCounts {
  int64_t Inputs = 0;
  int64_t Pictures = 0;
  int64_t Indexed = 0;
  int64_t Saves = 0;
  int64_t Reductions = 0;
  int64_t Unsteady = 0;
};

[[noreturn]] void Differs(const std::string& what, const std::string& input) {
  std::printf("DIFFERS: %s of %s\n", what.c_str(), input.c_str());
  std::fflush(stdout);
  std::exit(1);
}

struct TDecoded {
  std::shared_ptr<const TBitmap> Picture;
  std::string Outcome;  // the error, or "none" for no picture
};

TDecoded Decode(const std::string& file, TPreviewPixels pixels) {
  TDecoded decoded;
  try {
    decoded.Picture = DecodeChart(file, pixels);
    if (!decoded.Picture) decoded.Outcome = "none";
  } catch (const std::exception& error) {
    decoded.Outcome = error.what();
  }
  return decoded;
}

std::string Save(const TBitmap& picture, const std::string& extension) {
  try {
    const std::optional<Bytes> bytes =
        EncodeChart(picture, "chart" + extension, [] { return kJpegQuality; });
    return bytes ? std::string(bytes->begin(), bytes->end()) : "none";
  } catch (const std::exception& error) {
    return std::string("error: ") + error.what();
  }
}

// An animated GIF is drawn by a painter thread, which may or may not have met a cut frame
// by the time the draw ends: drawn again, the picture can give the other outcome too.
bool OutcomeVaries(const std::string& file, const std::string& outcome) {
  constexpr int kTries = 20;
  for (int i = 0; i < kTries; ++i)
    if (Decode(file, ppTrueColor).Outcome == outcome) return true;
  return false;
}

bool SameShownPixels(const TBitmap& kept, const TBitmap& drawn) {
  const TDib shown = ConvertDib(kept.Dib(), pf24bit);
  return shown.Width == drawn.Width() && shown.Height == drawn.Height() &&
         shown.Bits == drawn.Dib().Bits;
}

// A GIF of the picture reduced with the method and mode: kept reduces as its 24-bit copy
// would, drawn is reduced as the 24-bit picture it is.
std::string ReducedGif(const TBitmap& picture, TColorReduction method, TDitherMode mode,
                       bool asDrawn) {
  TGIFImage gif;
  gif.SetColorReduction(method);
  gif.SetDitherMode(mode);
  TBitmap copy(picture);
  if (asDrawn)
    AssignBitmap(gif, copy);
  else
    AssignReducedBitmap(gif, copy);
  TMemoryStream bytes;
  gif.SaveToStream(bytes);
  return {bytes.Bytes().begin(), bytes.Bytes().end()};
}

void CompareReductions(const TBitmap& kept, const TBitmap& drawn, const std::string& input,
                       TCounts& counts) {
  for (const TColorReduction method : {rmNetscape, rmWindows20, rmWindows256, rmWindowsGray,
                                       rmMonochrome, rmGrayScale, rmQuantize})
    for (int mode = dmNearest; mode <= dmBurkes; ++mode) {
      const auto dither = static_cast<TDitherMode>(mode);
      if (ReducedGif(kept, method, dither, false) != ReducedGif(drawn, method, dither, true))
        Differs("reduction " + std::to_string(method) + " dither " + std::to_string(mode), input);
      ++counts.Reductions;
    }
}

void CompareInput(const TChartInput& input, const std::string& file, THash& saves,
                  TCounts& counts) {
  WriteWholeFile(file, {input.Data.begin(), input.Data.end()});
  ++counts.Inputs;
  const TDecoded kept = Decode(file, ppIndexedWhenPlain);
  const TDecoded drawn = Decode(file, ppTrueColor);
  saves.Add(kept.Outcome);
  if (kept.Outcome != drawn.Outcome && OutcomeVaries(file, kept.Outcome)) {
    ++counts.Unsteady;
    return;
  }
  if (kept.Outcome != drawn.Outcome)
    Differs("decode outcome (\"" + kept.Outcome + "\" against \"" + drawn.Outcome + "\")",
            input.Name);
  if (!kept.Picture) return;
  ++counts.Pictures;
  if (IsIndexed(kept.Picture->PixelFormat())) ++counts.Indexed;
  if (!SameShownPixels(*kept.Picture, *drawn.Picture)) Differs("shown pixels", input.Name);
  for (const char* extension : kExtensions) {
    const std::string save = Save(*kept.Picture, extension);
    if (save != Save(*drawn.Picture, extension))
      Differs(std::string(extension) + " save", input.Name);
    saves.Add(save);
    ++counts.Saves;
  }
  const int64_t pixels = int64_t{kept.Picture->Width()} * kept.Picture->Height();
  if (input.Whole && pixels <= kLargestReducedEveryWay)
    CompareReductions(*kept.Picture, *drawn.Picture, input.Name, counts);
}

}  // namespace

int main(int argc, char** argv) {
  const int mutations = argc > 1 ? std::atoi(argv[1]) : kMutationsPerFile;
  const TempDir dir;
  // Named .gif, as most charts are: a file without a known signature is read by its name.
  const std::string file = dir.File("chart.gif");
  THash saves;
  TCounts counts;
  int64_t whole = 0;
  for (const TChartInput& input : ChartInputs(mutations)) {
    CompareInput(input, file, saves, counts);
    whole += input.Whole;
  }
  std::printf(
      "identical: %lld inputs (%lld whole, %lld mutated) gave %lld pictures, %lld of them kept "
      "indexed; %lld saves and %lld GIF reductions compared; %lld inputs left out whose "
      "outcome varies from one decode to the next\n",
      static_cast<long long>(counts.Inputs), static_cast<long long>(whole),
      static_cast<long long>(counts.Inputs - whole), static_cast<long long>(counts.Pictures),
      static_cast<long long>(counts.Indexed), static_cast<long long>(counts.Saves),
      static_cast<long long>(counts.Reductions), static_cast<long long>(counts.Unsteady));
  std::printf("hash of the program's decode outcomes and saves: %016llx\n",
              static_cast<unsigned long long>(saves.Value()));
}
