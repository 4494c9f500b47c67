// Decoding speed of the GIF reader against giflib's DGifSlurp on the same files, in one
// run. Prints the time ratio (reader / giflib) per image and overall.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/gif_bench_support.h"
#include "gif/gif_image.h"
#include "runtime/stream.h"
#include "tests/support/giflib_peer.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TSample {
  std::string Name;
  Bytes File;
};

std::vector<TSample> Samples() {
  PeerFrame interlaced = Photo(800, 600, 64, 3);
  interlaced.Interlaced = true;
  return {
      {"fax chart 1728x2200, 2 colours", WriteGiflibGif({1728, 2200, 2, {FaxChart()}})},
      {"photo 1024x768, 256 colours", WriteGiflibGif({1024, 768, 256, {Photo(1024, 768, 256, 1)}})},
      {"interlaced 800x600, 64 colours", WriteGiflibGif({800, 600, 64, {interlaced}})},
      {"sparse map 4000x3000, 16 colours", WriteGiflibGif({4000, 3000, 16, {SparseMap()}})},
  };
}

void DecodeWithReader(const Bytes& file) {
  TMemoryStream stream(file);
  TGIFImage image;
  image.LoadFromStream(stream);
}

}  // namespace

int main() {
  constexpr int kRepeats = 9;
  double readerTotal = 0, giflibTotal = 0;
  for (const TSample& sample : Samples()) {
    const double reader = Fastest([&] { DecodeWithReader(sample.File); }, kRepeats);
    const double giflib = Fastest([&] { DecodeWithGiflib(sample.File); }, kRepeats);
    readerTotal += reader;
    giflibTotal += giflib;
    std::printf("%-36s %7zu bytes  reader %7.2f ms  giflib %7.2f ms  ratio %.2f\n",
                sample.Name.c_str(), sample.File.size(), reader * 1e3, giflib * 1e3,
                reader / giflib);
  }
  std::printf("%-36s %13s  reader %7.2f ms  giflib %7.2f ms  ratio %.2f\n", "overall", "",
              readerTotal * 1e3, giflibTotal * 1e3, readerTotal / giflibTotal);
}
