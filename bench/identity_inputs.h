#pragma once
// Inputs and hashing shared by the checks that today's code gives exactly what it gave
// before: the files of the repository, pictures written by giflib as the tests write them,
// and mutated copies of them.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/gif_bench_support.h"
#include "tests/support/giflib_peer.h"

using Bytes = std::vector<uint8_t>;

inline constexpr uint32_t kSeed = 20240601;

// FNV-1a.
class THash {
 public:
  void Add(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) value_ = (value_ ^ bytes[i]) * 0x100000001B3ull;
  }
  void Add(const std::string& text) { Add(text.data(), text.size() + 1); }
  void Add(int64_t number) { Add(&number, sizeof number); }
  uint64_t Value() const { return value_; }

 private:
  uint64_t value_ = 0xCBF29CE484222325ull;
};

inline Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The files below path; with onlyGIF, those named .gif.
inline void AddFiles(const std::filesystem::path& path, bool onlyGIF,
                     std::vector<std::pair<std::string, Bytes>>& out) {
  if (std::filesystem::is_directory(path)) {
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      AddFiles(entry, onlyGIF, out);
    }
  } else if (std::filesystem::is_regular_file(path)) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (!onlyGIF || extension == ".gif") out.emplace_back(path.string(), ReadFile(path));
  }
}

// The benchmark pictures, and pictures of the kinds the tests write with giflib.
inline std::vector<std::pair<std::string, Bytes>> GiflibPictures() {
  PeerFrame interlaced = Photo(800, 600, 64, 3);
  interlaced.Interlaced = true;
  std::vector<std::pair<std::string, Bytes>> pictures = {
      {"fax chart", WriteGiflibGif({1728, 2200, 2, {FaxChart()}})},
      {"photo", WriteGiflibGif({1024, 768, 256, {Photo(1024, 768, 256, 1)}})},
      {"interlaced photo", WriteGiflibGif({800, 600, 64, {interlaced}})},
      {"sparse map", WriteGiflibGif({4000, 3000, 16, {SparseMap()}})},
  };
  std::mt19937 random(kSeed);
  for (int colors : {2, 4, 16, 256}) {
    for (int height : {1, 2, 3, 5, 8, 9, 17, 64}) {
      PeerFrame frame = Photo(37, height, colors, random());
      frame.Interlaced = height % 2 == 1;
      frame.TransparentIndex = height == 9 ? 1 : -1;
      frame.LocalColors = height == 8 ? colors : 0;
      PeerFrame second = Blank(5, 3, 1);
      second.Left = 2;
      pictures.emplace_back(
          "giflib " + std::to_string(colors) + " colours, height " + std::to_string(height),
          WriteGiflibGif({37, height, colors, {frame, second}}));
    }
  }
  return pictures;
}

// A copy with a few bytes changed, inserted or removed, or cut short.
inline Bytes Mutated(const Bytes& file, std::mt19937& random) {
  Bytes mutated = file;
  const int changes = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < changes && !mutated.empty(); ++i) {
    const size_t at = random() % mutated.size();
    switch (random() % 5) {
      case 0:
        mutated[at] = static_cast<uint8_t>(random());
        break;
      case 1:
        mutated[at] ^= static_cast<uint8_t>(1u << (random() % 8));
        break;
      case 2:
        mutated.insert(mutated.begin() + static_cast<ptrdiff_t>(at),
                       static_cast<uint8_t>(random()));
        break;
      case 3:
        mutated.erase(mutated.begin() + static_cast<ptrdiff_t>(at));
        break;
      default:
        mutated.resize(at);
        break;
    }
  }
  return mutated;
}

struct TChartInput {
  std::string Name;
  Bytes Data;
  bool Whole;  // as made, not mutated
};

// What a chart download may bring: the image files of the repository, the giflib pictures,
// the fetch job's chart, and mutated copies of the files up to 64 KiB.
inline std::vector<TChartInput> ChartInputs(int mutationsPerFile) {
  constexpr size_t kLargestMutated = 1 << 16;
  std::vector<std::pair<std::string, Bytes>> files;
  for (const char* folder :
       {"demo/images", "docs/screenshots", "fuzz/corpus/gif", "fuzz/corpus/image_head",
        "fuzz/corpus/png", "fuzz/corpus/bmp", "fuzz/corpus/jpeg", "fuzz/corpus/tiff"})
    AddFiles(std::filesystem::path(ISOVIEW_SOURCE_DIR) / folder, false, files);
  // Directory order is the file system's: the same inputs in the same order on every run.
  std::sort(files.begin(), files.end());
  const std::vector<std::pair<std::string, Bytes>> pictures = GiflibPictures();
  files.insert(files.end(), pictures.begin(), pictures.end());
  files.emplace_back("fetch job chart", BlackOnWhiteFaxGif(1728, 2200));
  std::vector<TChartInput> inputs;
  for (const auto& [name, data] : files) inputs.push_back({name, data, true});
  std::mt19937 random(kSeed);
  for (const auto& [name, data] : files) {
    if (data.size() > kLargestMutated) continue;
    for (int i = 0; i < mutationsPerFile; ++i)
      inputs.push_back({name + " mutated", Mutated(data, random), false});
  }
  return inputs;
}
