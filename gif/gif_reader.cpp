// Reading a GIF stream into the model: the header, the block loop over frames and their
// extensions, and the trailer. The reader is lenient: what it can make sense of it keeps,
// and most defects are warnings.

#include <algorithm>
#include <memory>
#include <vector>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/gif_registries.h"
#include "gif/gif_trailer.h"
#include "gif/lzw_decoder.h"
#include "gif/stream_bytes.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr int kSignatureSize = 6;
// Some files carry a few bytes of their own before the signature.
constexpr int kSignatureOffset = 4;
constexpr int kPercent = 100;

// The next byte that is not 0: zero bytes between blocks are padding.
bool ReadBlockByte(TStream& stream, uint8_t& byte) {
  while (ReadByte(stream, byte)) {
    if (byte != 0) return true;
  }
  return false;
}

bool ReadSignature(TStream& stream) {
  char signature[kSignatureSize];
  ReadGIFBytes(stream, signature, kSignatureSize);
  return UpperCase(std::string(signature, 3)) == "GIF";
}

int ColorCount(uint8_t packed, uint8_t sizeMask) {
  return 2 << (packed & sizeMask);
}

// Browsers draw a frame that has no colour table at all through a table of their own
// rather than refusing it: here grey levels spread evenly from black to white over the
// 2^codeSize codes the frame can hold (for 8-bit codes entry i is grey level i).
void SetDefaultColorTable(TGIFColorMap& table, int codeSize) {
  constexpr int kMaxBits = 8;
  constexpr int kWhite = 255;
  const int levels = 1 << std::clamp(codeSize, 1, kMaxBits);
  std::vector<uint8_t> quads;
  for (int i = 0; i < levels; ++i) {
    const auto grey = static_cast<uint8_t>(i * kWhite / (levels - 1));
    quads.insert(quads.end(), {grey, grey, grey, 0});
  }
  table.ImportColorTable(quads.data(), levels);
}

// The code size byte that starts the frame's image data, left unread; 0 at the end.
int PeekCodeSize(TStream& stream) {
  uint8_t codeSize = 0;
  if (!ReadByte(stream, codeSize)) return 0;
  stream.Seek(-1, soCurrent);
  return codeSize;
}

// Some encoders write a logical screen of 0 x 0 (or one side 0): the screen then takes
// the union of the frames' rectangles, so that the frames are shown.
void FitZeroScreenToFrames(TGIFImage& image) {
  TGIFHeader& screen = image.Header();
  if (screen.Width() != 0 && screen.Height() != 0) return;
  int right = 0;
  int bottom = 0;
  for (int i = 0; i < image.Images().Count(); ++i) {
    const TGIFSubImage& frame = image.Images()[i];
    right = std::max(right, frame.Left() + frame.Width());
    bottom = std::max(bottom, frame.Top() + frame.Height());
  }
  constexpr int kMaxSide = UINT16_MAX;
  if (screen.Width() == 0) screen.SetWidth(static_cast<uint16_t>(std::min(right, kMaxSide)));
  if (screen.Height() == 0) screen.SetHeight(static_cast<uint16_t>(std::min(bottom, kMaxSide)));
}

}  // namespace

void TGIFImage::LoadFromStream(TStream& Stream) {
  Progress(psStarting, 0, false, {}, kGIFLoading);
  Clear();
  ClearWarnings();
  const int64_t start = Stream.Position();
  try {
    header_.LoadFromStream(Stream);
    images_.LoadFromStream(Stream);
    FitZeroScreenToFrames(*this);
    TGIFTrailer(this).LoadFromStream(Stream);
  } catch (...) {
    Stream.SetPosition(start);
    Progress(psEnding, 0, false, {}, kGIFLoading);
    throw;
  }
  Progress(psEnding, kPercent, false, {}, kGIFLoading);
  Changed();
}

void TGIFImage::LoadProgress(TStream& stream) {
  const int64_t size = stream.Size();
  const int64_t percent = size > 0 ? stream.Position() * kPercent / size : 0;
  Progress(psRunning, static_cast<uint8_t>(percent), false, {}, kGIFLoading);
}

void TGIFHeader::LoadFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  if (!ReadSignature(stream)) {
    stream.SetPosition(start + kSignatureOffset);
    if (!ReadSignature(stream)) throw GIFException(kGIFInvalidSignature);
  }
  ReadGIFBytes(stream, descriptor_.data(), kDescriptorSize);
  if (PackedFields() & kGlobalColorTableFlag) {
    colorMap_.LoadFromStream(stream, ColorCount(PackedFields(), kColorTableSizeMask));
  } else {
    colorMap_.Clear();
  }
}

void TGIFImageList::LoadFromStream(TStream& stream) {
  uint8_t byte = 0;
  bool more = ReadBlockByte(stream, byte);
  while (more && byte != kGIFTrailerByte) {
    stream.Seek(-1, soCurrent);
    if (byte != kGIFExtensionIntroducer && byte != kGIFImageSeparator) {
      Warning(kGIFWarningSeverity, kGIFUnknownBlockType);
      return;
    }
    auto frame = std::make_unique<TGIFSubImage>(image_);
    frame->LoadFromStream(stream);
    Add(std::move(frame));
    image_.LoadProgress(stream);
    more = ReadBlockByte(stream, byte);
  }
  if (more) stream.Seek(-1, soCurrent);
}

void TGIFSubImage::LoadFromStream(TStream& stream) {
  Clear();
  extensions_.LoadFromStream(stream);
  uint8_t byte = 0;
  if (!ReadByte(stream, byte)) return;
  stream.Seek(-1, soCurrent);
  if (byte == kGIFTrailerByte || byte == 0) return;
  LoadImage(stream);
}

void TGIFSubImage::LoadImage(TStream& stream) {
  // The separator byte is not checked: after a stray byte the descriptor starts there.
  ReadGIFBytes(stream, descriptor_.data(), kDescriptorSize);
  if (Width() == 0 || Height() == 0) {
    SetField(5, Image()->Header().Width());
    SetField(7, Image()->Header().Height());
    Warning(kGIFWarningSeverity, kGIFExceedsScreen);
  }
  if (PackedFields() & kLocalColorTableFlag) {
    colorMap_.LoadFromStream(stream, ColorCount(PackedFields(), kColorTableSizeMask));
  }
  if (colorMap_.Count() == 0 && Image()->GlobalColorMap().Count() == 0) {
    SetDefaultColorTable(Image()->GlobalColorMap(), PeekCodeSize(stream));
  }
  DecodeFrame(*this, stream);
  if (Image()->RenderOnLoad()) Bitmap();
}

void TGIFExtensionList::LoadFromStream(TStream& stream) {
  uint8_t byte = 0;
  if (!ReadByte(stream, byte)) return;
  while (byte != kGIFImageSeparator && byte != kGIFTrailerByte) {
    if (byte != kGIFExtensionIntroducer) {
      Warning(kGIFWarningSeverity, kGIFInvalidExtensionIntroducer);
      break;
    }
    const TGIFExtensionClass* extensionClass = FindExtensionClass(stream);
    if (extensionClass == nullptr) throw GIFException(kGIFUnknownExtensionType);
    stream.Seek(-1, soCurrent);
    std::unique_ptr<TGIFExtension> extension = extensionClass->Create(frame_);
    extension->LoadFromStream(stream);
    Add(std::move(extension));
    if (!ReadByte(stream, byte)) return;
  }
  stream.Seek(-1, soCurrent);
}

const TGIFExtensionClass* FindExtensionClass(TStream& stream) {
  const int64_t start = stream.Position();
  const TGIFExtensionClass* found = nullptr;
  uint8_t label = 0;
  if (ReadByte(stream, label)) {
    found = ExtensionList().Find(label);
    while (found != nullptr) {
      const TGIFExtensionClass* next = found->FindExtension(stream);
      if (next == found) break;
      found = next;
    }
  }
  stream.SetPosition(start);
  return found;
}
