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
#include "gif/sub_blocks.h"
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

// Every picture drawn of the image has the logical screen's size, so a larger screen than
// this must be backed by frames that reach its edges (about 6 MiB at 24 bits per pixel).
constexpr int64_t kLargestUnfilledScreen = int64_t{1} << 21;

// Some encoders write a logical screen of 0 x 0 (or one side 0): the screen then takes the
// union of the rectangles of the frames with pixels, so that they are shown. A large screen
// that reaches past all of them is cut down to that union, so that a few bytes cannot claim
// a picture of hundreds of megabytes.
void FitScreenToFrames(TGIFImage& image) {
  constexpr int kMaxSide = UINT16_MAX;
  int right = 0;
  int bottom = 0;
  for (int i = 0; i < image.Images().Count(); ++i) {
    const TGIFSubImage& frame = image.Images()[i];
    if (!frame.HoldsPixels()) continue;
    right = std::min(kMaxSide, std::max(right, frame.Left() + frame.Width()));
    bottom = std::min(kMaxSide, std::max(bottom, frame.Top() + frame.Height()));
  }
  TGIFHeader& screen = image.Header();
  const bool large = int64_t{screen.Width()} * screen.Height() > kLargestUnfilledScreen;
  if (screen.Width() == 0 || (large && right < screen.Width())) {
    screen.SetWidth(static_cast<uint16_t>(right));
  }
  if (screen.Height() == 0 || (large && bottom < screen.Height())) {
    screen.SetHeight(static_cast<uint16_t>(bottom));
  }
}

// A frame that had an image descriptor, whether or not its data gave pixels.
bool HasImage(const TGIFSubImage& frame) {
  return frame.Width() > 0 && frame.Height() > 0;
}

bool AnyImage(const TGIFImageList& frames) {
  for (int i = 0; i < frames.Count(); ++i) {
    if (HasImage(frames[i])) return true;
  }
  return false;
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
    FitScreenToFrames(*this);
    TGIFTrailer(this).LoadFromStream(Stream);
    if (!AnyImage(images_)) throw GIFException(kGIFNoImage);
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
  bool imageFound = false;
  while (more && byte != kGIFTrailerByte) {
    stream.Seek(-1, soCurrent);
    if (byte != kGIFExtensionIntroducer && byte != kGIFImageSeparator) {
      Warning(kGIFWarningSeverity, kGIFUnknownBlockType);
      return;
    }
    auto frame = std::make_unique<TGIFSubImage>(image_);
    frame->LoadFromStream(stream);
    // The first image is the picture shown: decoded now, the load tells whether it is
    // whole. The other frames wait until their pixels are asked for.
    if (!imageFound && HasImage(*frame)) {
      frame->Decode();
      imageFound = true;
    }
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
  ReadImageData(stream);
  if (Image()->RenderOnLoad()) Bitmap();
}

// The image data is kept as it is in the file until the pixels are asked for. Data that
// cannot fill the frame is not kept: such a frame gets no pixels, and its image is marked
// cut, as is one whose data the stream cuts short.
void TGIFSubImage::ReadImageData(TStream& stream) {
  uint8_t codeSize = 0;
  if (!ReadByte(stream, codeSize)) {
    Warning(kGIFWarningSeverity, kGIFPrematureEndOfData);
    return;
  }
  std::vector<uint8_t> data{codeSize};
  if (!CopySubBlocks(stream, data)) Warning(kGIFWarningSeverity, kGIFPrematureEndOfData);
  const auto dataBytes = static_cast<int64_t>(data.size()) - 1;
  if (int64_t{Width()} * Height() > LZWPixelCapacity(codeSize, dataBytes)) {
    Image()->FrameCut();
    return;
  }
  imageData_ = std::move(data);
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
