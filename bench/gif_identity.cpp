// Shows that the LZW decoder and encoders of today give exactly what they gave before they
// were made fast (the code of then, taken from git into the build by bench/gif_codec_before):
// the same pixels, warnings, errors, answers and stream positions from every frame of every
// input, and the same bytes from every encode. The inputs: the benchmark pictures, the GIF
// files of the repository (and any files or folders named on the command line), pictures
// written by giflib as the tests write them, and thousands of random whole and cut-short
// inputs made from them. Each result is compared by an FNV-1a hash; prints how many were
// compared and what the decodes met, and exits 1 at the first difference.
// Usage: bench_gif_identity [FILE|FOLDER...]: every file named or in a folder named (a
// fuzzer's corpus names its inputs by their hash) is compared as it is, without mutations.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/gif_bench_support.h"
#include "bench/identity_inputs.h"
// The codec of before, written into the build by bench/gif_codec_before.
#include "bench/gif_codec_before/lzw_decoder.h"
#include "bench/gif_codec_before/lzw_encoder.h"
#include "bench/gif_codec_before/rle_encoder.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "gif/lzw_decoder.h"
#include "gif/lzw_encoder.h"
#include "gif/rle_encoder.h"
#include "gif/sub_blocks.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/giflib_peer.h"

namespace {

// Mutated and random inputs can claim large frames; beyond this they cost time and say
// nothing the smaller ones do not.
constexpr int64_t kLargestCheckedFrame = int64_t{1} << 24;
// Only inputs up to this size are mutated, so that the thousands of variants stay fast.
constexpr size_t kLargestMutatedFile = 1 << 16;
constexpr int kMutationsPerFile = 400;
constexpr int kRandomChains = 3000;
// Where a frame's image data starts in a file, and what the decoder needs of its
// descriptor and graphic control extension.
struct TFrameSpec {
  int Width = 0;
  int Height = 0;
  bool Interlaced = false;
  int TransparentIndex = -1;
  size_t DataAt = 0;
};

size_t SkipChain(const Bytes& file, size_t at) {
  while (at < file.size()) {
    const uint8_t size = file[at++];
    if (size == 0) break;
    at += size;
  }
  return at;
}

size_t TableBytes(uint8_t packed) {
  return (packed & 0x80) ? size_t{3} << ((packed & 7) + 1) : 0;
}

int Field(const Bytes& file, size_t at) {
  return file[at] | file[at + 1] << 8;
}

// The frames of a GIF as far as its blocks can be followed, whatever its signature says.
std::vector<TFrameSpec> FramesOf(const Bytes& file) {
  constexpr size_t kScreenEnd = 13;
  constexpr size_t kDescriptorBytes = 9;
  std::vector<TFrameSpec> frames;
  if (file.size() < kScreenEnd) return frames;
  size_t at = kScreenEnd + TableBytes(file[10]);
  int transparent = -1;
  while (at < file.size()) {
    const uint8_t block = file[at++];
    if (block == 0x21 && at < file.size()) {
      const uint8_t label = file[at++];
      if (label == 0xF9 && at + 5 <= file.size() && file[at] == 4) {
        transparent = (file[at + 1] & 1) ? file[at + 4] : -1;
      }
      at = SkipChain(file, at);
    } else if (block == 0x2C && at + kDescriptorBytes <= file.size()) {
      TFrameSpec frame{Field(file, at + 4), Field(file, at + 6), (file[at + 8] & 0x40) != 0,
                       transparent, at + kDescriptorBytes + TableBytes(file[at + 8])};
      if (frame.DataAt < file.size()) frames.push_back(frame);
      at = SkipChain(file, frame.DataAt + 1);
      transparent = -1;
    } else if (block != 0) {
      break;
    }
  }
  return frames;
}

using TDecode = std::function<bool(TGIFSubImage&, TStream&)>;

struct TDecoded {
  uint64_t Hash = 0;
  Bytes Pixels;
  // The answer or error and the warnings, to count what the inputs reached.
  std::set<std::string> Kinds;
  // The same and the position, for the report of a difference.
  std::string Outcome;
};

// Everything a decode shows: its answer or error, the warnings, the pixels, and where it
// left the stream (not after an error, which ends the whole load).
TDecoded RunDecode(const TDecode& decode, const TFrameSpec& spec, TMemoryStream& stream) {
  TGIFImage image;
  THash hash;
  TDecoded decoded;
  TGIFSubImage& frame = image.Images()[image.Images().Add(std::make_unique<TGIFSubImage>(image))];
  frame.SetWidth(static_cast<uint16_t>(spec.Width));
  frame.SetHeight(static_cast<uint16_t>(spec.Height));
  frame.SetInterlaced(spec.Interlaced);
  if (spec.TransparentIndex >= 0) {
    auto control = std::make_unique<TGIFGraphicControlExtension>(frame);
    control->SetTransparentColorIndex(static_cast<uint8_t>(spec.TransparentIndex));
    control->SetTransparent(true);
    frame.Extensions().Add(std::move(control));
  }
  image.OnWarning = [&](const TGIFWarningSource&, int, const std::string& message) {
    hash.Add(message);
    decoded.Kinds.insert("warning: " + message);
    decoded.Outcome += message + "; ";
  };
  std::string ending;
  try {
    ending = decode(frame, stream) ? "whole" : "cut";
    hash.Add(stream.Position());
    decoded.Outcome += ending + " at " + std::to_string(stream.Position());
  } catch (const Exception& e) {
    ending = "error: " + e.Message();
    decoded.Outcome += ending;
  }
  hash.Add(ending);
  decoded.Kinds.insert(ending);
  decoded.Pixels.assign(frame.Data(), frame.Data() + frame.DataSize());
  hash.Add(decoded.Pixels.data(), decoded.Pixels.size());
  decoded.Hash = hash.Value();
  return decoded;
}

struct TCounts {
  int64_t Inputs = 0;
  int64_t Decodes = 0;
  int64_t Encodes = 0;
  // How many decodes ended each way or gave each warning.
  std::map<std::string, int64_t> Kinds;
};

[[noreturn]] void Differs(const std::string& what, const std::string& input) {
  std::printf("DIFFERS: %s of %s\n", what.c_str(), input.c_str());
  std::fflush(stdout);
  std::exit(1);
}

template <class Encoder>
uint64_t EncodeHash(const Bytes& pixels, int width, int height, bool interlaced, int bits,
                    int colorCount) {
  TMemoryStream stream;
  THash hash;
  try {
    Encoder().Encode(stream, bits, colorCount, pixels.data(), interlaced, height, width);
  } catch (const Exception& e) {
    hash.Add("error: " + e.Message());
  }
  hash.Add(stream.Bytes().data(), stream.Bytes().size());
  return hash.Value();
}

int BitsFor(int colors) {
  int bits = 1;
  while ((1 << bits) < colors) ++bits;
  return bits;
}

// The pixels encoded with a table that holds them all, interlaced or not, and with one
// that lacks the largest index (the error leaves what was written until then).
void CompareEncodes(const Bytes& pixels, int width, int height, const std::string& input,
                    TCounts& counts) {
  const int largest = pixels.empty() ? 0 : *std::max_element(pixels.begin(), pixels.end());
  const int bits = BitsFor(largest + 1);
  struct TTable {
    int Bits;
    int Colors;
  };
  std::vector<TTable> tables{{bits, 1 << bits}};
  if (largest > 0) tables.push_back({bits, largest});
  // A table of 256 colours whose pixels use few of them: the encoders' direct dictionary.
  if (bits < 8) tables.push_back({8, 256});
  for (const TTable& table : tables) {
    for (bool interlaced : {false, true}) {
      if (EncodeHash<TLZWEncoder>(pixels, width, height, interlaced, table.Bits, table.Colors) !=
          EncodeHash<lzw_reference::TLZWEncoder>(pixels, width, height, interlaced, table.Bits,
                                                 table.Colors)) {
        Differs("LZW encode", input);
      }
      if (EncodeHash<TRLEEncoder>(pixels, width, height, interlaced, table.Bits, table.Colors) !=
          EncodeHash<lzw_reference::TRLEEncoder>(pixels, width, height, interlaced, table.Bits,
                                                 table.Colors)) {
        Differs("run-length encode", input);
      }
      counts.Encodes += 2;
    }
  }
}

// One frame decoded by both, from the stream as the file goes on after the code size byte,
// and from a copy of its chain as the reader keeps it; the pixels decoded are then encoded.
void CompareFrame(const Bytes& file, const TFrameSpec& spec, const std::string& input,
                  TCounts& counts, bool encode) {
  if (int64_t{spec.Width} * spec.Height > kLargestCheckedFrame) return;
  std::vector<TMemoryStream> streams;
  streams.emplace_back(file).SetPosition(static_cast<int64_t>(spec.DataAt));
  TMemoryStream rest(Bytes(file.begin() + static_cast<ptrdiff_t>(spec.DataAt) + 1, file.end()));
  Bytes chain{file[spec.DataAt]};
  CopySubBlocks(rest, chain);
  streams.emplace_back(chain);
  Bytes pixels;
  for (TMemoryStream& stream : streams) {
    TMemoryStream again(stream.Bytes());
    again.SetPosition(stream.Position());
    const TDecoded today = RunDecode(&DecodeFrame, spec, stream);
    const TDecoded before = RunDecode(&lzw_reference::DecodeFrame, spec, again);
    if (today.Hash != before.Hash) {
      const auto differ = std::mismatch(today.Pixels.begin(), today.Pixels.end(),
                                        before.Pixels.begin(), before.Pixels.end());
      std::printf(
          "frame %dx%d%s at %zu, transparent %d\ntoday:  %s\nbefore: %s\n"
          "first differing pixel: %td of %zu\n",
          spec.Width, spec.Height, spec.Interlaced ? " interlaced" : "", spec.DataAt,
          spec.TransparentIndex, today.Outcome.c_str(), before.Outcome.c_str(),
          differ.first - today.Pixels.begin(), today.Pixels.size());
      std::ofstream("gif_identity_difference.gif", std::ios::binary)
          .write(reinterpret_cast<const char*>(file.data()),
                 static_cast<std::streamsize>(file.size()));
      Differs("decode", input);
    }
    ++counts.Decodes;
    for (const std::string& kind : today.Kinds) ++counts.Kinds[kind];
    pixels = today.Pixels;
  }
  if (encode && !pixels.empty()) CompareEncodes(pixels, spec.Width, spec.Height, input, counts);
}

void CompareFile(const Bytes& file, const std::string& input, TCounts& counts, bool encode) {
  ++counts.Inputs;
  for (const TFrameSpec& spec : FramesOf(file)) CompareFrame(file, spec, input, counts, encode);
}

// Image data of any kind after a minimal screen and descriptor: a code size (mostly sound),
// sub-blocks of random sizes holding random bytes or real codes, with a terminator, without
// one, cut inside a block, or followed by more bytes.
Bytes RandomChainFile(std::mt19937& random) {
  const int width = 1 + static_cast<int>(random() % 40);
  const int height = 1 + static_cast<int>(random() % 40);
  const uint8_t packed = (random() % 2) ? 0x40 : 0;
  Bytes file{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0};
  if (random() % 3 == 0) {
    file.insert(file.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(random()), 0});
  }
  file.insert(file.end(), {0x2C, 0, 0, 0, 0, static_cast<uint8_t>(width), 0,
                           static_cast<uint8_t>(height), 0, packed});
  Bytes data;
  if (random() % 2) {
    const int colors = 2 << (random() % 8);
    PeerFrame frame = Photo(width, height, colors, random());
    Bytes encoded = WriteGiflibGif({width, height, colors, {frame}});
    const std::vector<TFrameSpec> frames = FramesOf(encoded);
    TMemoryStream rest(
        Bytes(encoded.begin() + static_cast<ptrdiff_t>(frames[0].DataAt) + 1, encoded.end()));
    for (const std::string& block : ReadSubBlocks(rest))
      data.insert(data.end(), block.begin(), block.end());
    file.push_back(static_cast<uint8_t>(BitsFor(colors) < 2 ? 2 : BitsFor(colors)));
    for (int i = static_cast<int>(random() % 3); i > 0 && !data.empty(); --i) {
      data[random() % data.size()] = static_cast<uint8_t>(random());
    }
  } else {
    file.push_back(static_cast<uint8_t>(random() % 4 == 0 ? random() % 14 : 2 + random() % 7));
    data.resize(random() % 600);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
  }
  const int largestBlock = (random() % 3 == 0) ? 1 + static_cast<int>(random() % 4) : 255;
  for (size_t at = 0; at < data.size();) {
    const size_t size = std::min<size_t>(data.size() - at, 1 + random() % largestBlock);
    file.push_back(static_cast<uint8_t>(size));
    file.insert(file.end(), data.begin() + static_cast<ptrdiff_t>(at),
                data.begin() + static_cast<ptrdiff_t>(at + size));
    at += size;
  }
  switch (random() % 4) {
    case 0:
      break;
    case 1:
      if (!file.empty()) file.resize(file.size() - 1 - random() % std::min<size_t>(file.size(), 8));
      break;
    case 2:
      file.insert(file.end(), {0, 3, 1, 2, 3, 0, 0x3B});
      break;
    default:
      file.insert(file.end(), {0, 0x3B});
      break;
  }
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, Bytes>> files;
  for (const char* folder : {"demo/images", "fuzz/corpus/gif", "fuzz/corpus/image_head"}) {
    AddFiles(std::filesystem::path(ISOVIEW_SOURCE_DIR) / folder, true, files);
  }
  const size_t ownFiles = files.size();
  std::vector<std::pair<std::string, Bytes>> pictures = GiflibPictures();
  files.insert(files.end(), pictures.begin(), pictures.end());
  std::vector<std::pair<std::string, Bytes>> named;
  for (int i = 1; i < argc; ++i) AddFiles(argv[i], false, named);

  TCounts counts;
  for (const auto& [name, file] : files) CompareFile(file, name, counts, true);
  const TCounts whole = counts;

  std::mt19937 random(kSeed);
  for (const auto& [name, file] : files) {
    if (file.size() > kLargestMutatedFile) continue;
    for (int i = 0; i < kMutationsPerFile; ++i) {
      CompareFile(Mutated(file, random), name + " mutated", counts, i % 8 == 0);
    }
  }
  for (int i = 0; i < kRandomChains; ++i) {
    CompareFile(RandomChainFile(random), "random chain " + std::to_string(i), counts, i % 4 == 0);
  }
  const TCounts made = counts;
  for (const auto& [name, file] : named) CompareFile(file, name, counts, true);
  std::printf(
      "identical: %lld files (%zu GIF files, %zu giflib pictures) with %lld decodes and "
      "%lld encodes; %lld random and cut-short inputs with %lld decodes and %lld encodes; "
      "%lld files named with %lld decodes and %lld encodes\n",
      static_cast<long long>(whole.Inputs), ownFiles, pictures.size(),
      static_cast<long long>(whole.Decodes), static_cast<long long>(whole.Encodes),
      static_cast<long long>(made.Inputs - whole.Inputs),
      static_cast<long long>(made.Decodes - whole.Decodes),
      static_cast<long long>(made.Encodes - whole.Encodes),
      static_cast<long long>(counts.Inputs - made.Inputs),
      static_cast<long long>(counts.Decodes - made.Decodes),
      static_cast<long long>(counts.Encodes - made.Encodes));
  for (const auto& [kind, count] : counts.Kinds) {
    std::printf("  %8lld decodes: %s\n", static_cast<long long>(count), kind.c_str());
  }
}
