#include "imaging/image_signature.h"

#include <algorithm>

#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

struct TSignature {
  std::string magic;
  const char* kind;
};

// The first bytes of each kind of image file the program reads. A constant table, made
// once (thread-safely) and only read after.
const std::vector<TSignature>& Signatures() {
  static const std::vector<TSignature> signatures{
      {"GIF8", ".gif"},
      {"\xFF\xD8\xFF", ".jpg"},
      {"\x89PNG\r\n\x1A\n", ".png"},
      {std::string("II*\0", 4), ".tif"},
      {std::string("MM\0*", 4), ".tif"},
      {"BM", ".bmp"},
  };
  return signatures;
}

constexpr int64_t kLongestMagic = 8;

}  // namespace

std::string ImageKindOfBytes(const std::vector<uint8_t>& Head) {
  for (const TSignature& signature : Signatures())
    if (Head.size() >= signature.magic.size() &&
        std::equal(signature.magic.begin(), signature.magic.end(), Head.begin(),
                   [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; }))
      return signature.kind;
  return "";
}

std::string ImageKindOfFile(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead);
  std::vector<uint8_t> head(kLongestMagic);
  head.resize(static_cast<size_t>(file.Read(head.data(), kLongestMagic)));
  return ImageKindOfBytes(head);
}

std::string ReadingKind(const std::string& FileName) {
  const std::string kind = ImageKindOfFile(FileName);
  return kind.empty() ? LowerCase(ExtractFileExt(FileName)) : kind;
}
