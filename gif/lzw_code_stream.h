#pragma once
// The codes of a frame's image data. The data sub-blocks are read at once into one run of
// bytes, from which codes are taken 32 bits at a time; the sub-block boundaries are kept, so
// that the data ends where and as it ends when the sub-blocks are taken one at a time as
// the codes reach them: the same warnings, at the same code, and the same codes lost.

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/stream.h"

class TGIFSubImage;

class TLZWCodeStream {
 public:
  // Reads the data sub-blocks from the stream, which stands after the code size byte;
  // warnings go to the frame.
  TLZWCodeStream(TStream& stream, TGIFSubImage& frame);

  // The bits of the data, least significant first, and how many of them the sub-blocks
  // taken so far hold. Codes that end before BitEnd() may be taken straight from Bits().
  const uint8_t* Bits() const { return bytes_.data(); }
  int64_t BitEnd() const { return bitEnd_; }
  // Takes further whole sub-blocks until the bits up to reach are held, as a code that
  // reaches there takes them; false (and nothing taken) when that would take the end of the
  // data, which only Code does.
  bool TakeWholeBlocks(int64_t reach);
  // The code of width bits at position, which moves past it: -1 when the data ends first.
  int Code(int64_t& position, int width);
  // The code at position, which ends before BitEnd(). Codes are at most 12 bits: one that
  // starts anywhere in a byte lies in the 32 bits from that byte on.
  static uint32_t CodeAt(const uint8_t* bits, int64_t position, uint32_t mask) {
    uint32_t word = 0;
    std::memcpy(&word, bits + (position >> 3), sizeof word);
    return word >> (position & 7) & mask;
  }

  // The data is left unread from here on: the stream moves past the chain.
  void SkipRest();

 private:
  // How the chain ends after its whole sub-blocks.
  enum TEnding { ceTerminator, ceCutBlock, ceStreamEnd };

  void Read();
  bool Refill(int64_t position);
  void WarnPrematureEnd();

  TStream& stream_;
  TGIFSubImage& frame_;
  // The data bytes, and four more so that a code is read with one 32-bit load.
  std::vector<uint8_t> bytes_;
  // Where each whole sub-block ends in bytes_, in bits.
  std::vector<int64_t> blockEnds_;
  TEnding ending_ = ceTerminator;
  // A cut sub-block: where its size byte stands, the size it claims, and the bytes there are.
  int64_t cutAt_ = 0;
  int cutClaim_ = 0;
  int cutBytes_ = 0;

  size_t blocksTaken_ = 0;
  int64_t bitEnd_ = 0;
  bool endingTaken_ = false;
  bool terminated_ = false;
  bool warnedEnd_ = false;
};
