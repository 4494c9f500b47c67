// Encoding speed and size of TLZWEncoder against giflib's EGifPutLine on the same index
// frames, in one run. Checks first that the files of both decode (by giflib) to the frame's
// pixels; then prints the time ratio (ours / giflib) and the size ratio of the whole files
// per frame and overall, with the commit and the load average. Then the fetch job's
// reduction of a 2000 x 2000 photograph to the web palette, timed.
// Usage: bench_gif_encode [REPEATS [NAME]] (NAME: only the frames whose name holds it).

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/gif_bench_support.h"
#include "bench/run_context.h"
#include "gif/color_reduction.h"
#include "gif/gif_image.h"
#include "gif/lzw_encoder.h"
#include "imaging/bitmap.h"
#include "runtime/stream.h"
#include "tests/support/giflib_peer.h"

namespace {

struct TSample {
  std::string Name;
  int Colors;
  PeerFrame Frame;
};

std::vector<TSample> Samples(const std::string& only) {
  PeerFrame interlaced = Photo(800, 600, 64, 3);
  interlaced.Interlaced = true;
  std::vector<TSample> samples = {
      {"fax chart 1728x2200, 2 colours", 2, FaxChart()},
      {"photo 1024x768, 256 colours", 256, Photo(1024, 768, 256, 1)},
      {"interlaced 800x600, 64 colours", 64, interlaced},
      {"sparse map 4000x3000, 16 colours", 16, SparseMap()},
  };
  std::erase_if(samples,
                [&](const TSample& sample) { return sample.Name.find(only) == std::string::npos; });
  return samples;
}

PeerGif GiflibInput(const TSample& sample) {
  return {sample.Frame.Width, sample.Frame.Height, sample.Colors, {sample.Frame}};
}

int BitsFor(int colors) {
  int bits = 1;
  while ((1 << bits) < colors) ++bits;
  return bits;
}

void EncodeWithLZW(const TSample& sample) {
  TMemoryStream stream;
  TLZWEncoder encoder;
  const PeerFrame& frame = sample.Frame;
  encoder.Encode(stream, BitsFor(sample.Colors), sample.Colors, frame.Pixels.data(),
                 frame.Interlaced, frame.Height, frame.Width);
}

// The same frame saved by the writer with a global table like giflib's file has.
std::vector<uint8_t> SavedFile(const TSample& sample) {
  TGIFImage image;
  for (int i = 0; i < sample.Colors; ++i) image.GlobalColorMap().Add(PeerColor(i));
  auto frame = std::make_unique<TGIFSubImage>(image);
  frame->SetWidth(uint16_t(sample.Frame.Width));
  frame->SetHeight(uint16_t(sample.Frame.Height));
  frame->NewData(0);
  std::copy(sample.Frame.Pixels.begin(), sample.Frame.Pixels.end(), frame->Data());
  frame->SetInterlaced(sample.Frame.Interlaced);
  image.Images().Add(std::move(frame));
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

bool DecodesToTheFrame(const std::vector<uint8_t>& file, const PeerFrame& frame) {
  try {
    const PeerGif decoded = ReadGiflibGif(file);
    return decoded.Frames.size() == 1 && decoded.Frames[0].Pixels == frame.Pixels;
  } catch (const std::runtime_error&) {
    return false;
  }
}

// Smooth colour fields with noise, like a satellite composite.
std::unique_ptr<TBitmap> PhotoBitmap(int width, int height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(width, height);
  std::mt19937 random(5);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const int noise = int(random() % 9) - 4;
      row[x * 3] = uint8_t(std::clamp(int(128 + 100 * std::sin(x / 97.0)) + noise, 0, 255));
      row[x * 3 + 1] = uint8_t(std::clamp(int(128 + 90 * std::cos(y / 71.0)) + noise, 0, 255));
      row[x * 3 + 2] = uint8_t(std::clamp((x + y) * 255 / (width + height) + noise, 0, 255));
    }
  }
  return bitmap;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::stoi(argv[1]) : 7;
  const std::vector<TSample> samples = Samples(argc > 2 ? argv[2] : "");
  PrintRunContext();
  for (const TSample& sample : samples) {
    if (!DecodesToTheFrame(SavedFile(sample), sample.Frame) ||
        !DecodesToTheFrame(WriteGiflibGif(GiflibInput(sample)), sample.Frame)) {
      std::printf("%s: a file does not decode to the frame's pixels; no ratio\n",
                  sample.Name.c_str());
      return 1;
    }
  }
  double oursTotal = 0, giflibTotal = 0;
  int64_t oursBytes = 0, giflibBytes = 0;
  for (const TSample& sample : samples) {
    const PeerGif gif = GiflibInput(sample);
    const double ours = Fastest([&] { EncodeWithLZW(sample); }, repeats);
    const double giflib = Fastest([&] { WriteGiflibGif(gif); }, repeats);
    const auto ourSize = static_cast<int64_t>(SavedFile(sample).size());
    const auto giflibSize = static_cast<int64_t>(WriteGiflibGif(gif).size());
    oursTotal += ours;
    giflibTotal += giflib;
    oursBytes += ourSize;
    giflibBytes += giflibSize;
    std::printf(
        "%-34s ours %7.2f ms  giflib %7.2f ms  time ratio %.2f  size %8lld / %8lld = %.3f\n",
        sample.Name.c_str(), ours * 1e3, giflib * 1e3, ours / giflib,
        static_cast<long long>(ourSize), static_cast<long long>(giflibSize),
        double(ourSize) / double(giflibSize));
  }
  std::printf(
      "%-34s ours %7.2f ms  giflib %7.2f ms  time ratio %.2f  size ratio %.3f  (load average "
      "%s)\n",
      "overall", oursTotal * 1e3, giflibTotal * 1e3, oursTotal / giflibTotal,
      double(oursBytes) / double(giflibBytes), LoadAverage().c_str());
  if (argc > 2) return 0;

  constexpr int kReductionRepeats = 3;
  // The source is 24 bits already, so reducing it again starts from the same pixels.
  const std::unique_ptr<TBitmap> photo = PhotoBitmap(2000, 2000);
  const double reduction =
      Fastest([&] { ReduceColors(*photo, rmNetscape, dmNearest, 8, nullptr); }, kReductionRepeats);
  std::printf("web-palette reduction of a 2000x2000 photo: %.1f ms\n", reduction * 1e3);
}
