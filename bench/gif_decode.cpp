// Decoding speed of the GIF reader against giflib's DGifSlurp on the same files, in one
// run. Checks first that both give the same pixels; then prints the time ratio (reader /
// giflib) per image and overall, with the commit and the load average.
// Usage: bench_gif_decode [REPEATS [NAME]] (NAME: only the images whose name holds it).

#include <cstdio>
#include <string>
#include <vector>

#include "bench/gif_bench_support.h"
#include "bench/run_context.h"
#include "gif/gif_image.h"
#include "runtime/stream.h"
#include "tests/support/giflib_peer.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TSample {
  std::string Name;
  Bytes File;
};

std::vector<TSample> Samples(const std::string& only) {
  PeerFrame interlaced = Photo(800, 600, 64, 3);
  interlaced.Interlaced = true;
  std::vector<TSample> samples = {
      {"fax chart 1728x2200, 2 colours", WriteGiflibGif({1728, 2200, 2, {FaxChart()}})},
      {"photo 1024x768, 256 colours", WriteGiflibGif({1024, 768, 256, {Photo(1024, 768, 256, 1)}})},
      {"interlaced 800x600, 64 colours", WriteGiflibGif({800, 600, 64, {interlaced}})},
      {"sparse map 4000x3000, 16 colours", WriteGiflibGif({4000, 3000, 16, {SparseMap()}})},
  };
  std::erase_if(samples,
                [&](const TSample& sample) { return sample.Name.find(only) == std::string::npos; });
  return samples;
}

void DecodeWithReader(const Bytes& file) {
  TMemoryStream stream(file);
  TGIFImage image;
  image.LoadFromStream(stream);
}

bool SamePixels(const Bytes& file) {
  TMemoryStream stream(file);
  TGIFImage image;
  image.LoadFromStream(stream);
  TGIFSubImage& frame = image.Images()[0];
  return Bytes(frame.Data(), frame.Data() + frame.DataSize()) ==
         ReadGiflibGif(file).Frames[0].Pixels;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::stoi(argv[1]) : 9;
  const std::vector<TSample> samples = Samples(argc > 2 ? argv[2] : "");
  PrintRunContext();
  for (const TSample& sample : samples) {
    if (!SamePixels(sample.File)) {
      std::printf("%s: the reader's pixels differ from giflib's; no ratio\n", sample.Name.c_str());
      return 1;
    }
  }
  double readerTotal = 0, giflibTotal = 0;
  for (const TSample& sample : samples) {
    const double reader = Fastest([&] { DecodeWithReader(sample.File); }, repeats);
    const double giflib = Fastest([&] { DecodeWithGiflib(sample.File); }, repeats);
    readerTotal += reader;
    giflibTotal += giflib;
    std::printf("%-36s %7zu bytes  reader %7.2f ms  giflib %7.2f ms  ratio %.2f\n",
                sample.Name.c_str(), sample.File.size(), reader * 1e3, giflib * 1e3,
                reader / giflib);
  }
  std::printf("%-36s %13s  reader %7.2f ms  giflib %7.2f ms  ratio %.2f  (load average %s)\n",
              "overall", "", readerTotal * 1e3, giflibTotal * 1e3, readerTotal / giflibTotal,
              LoadAverage().c_str());
}
