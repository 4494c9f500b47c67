#include "gif/gif_trailer.h"

#include "gif/gif_block_bytes.h"
#include "gif/gif_messages.h"
#include "gif/stream_bytes.h"

void TGIFTrailer::LoadFromStream(TStream& stream) {
  uint8_t byte = 0;
  if (ReadByte(stream, byte) && byte != kGIFTrailerByte) {
    Warning(kGIFWarningSeverity, kGIFInvalidTrailer);
  }
}

void TGIFTrailer::SaveToStream(TStream& stream) {
  WriteByte(stream, kGIFTrailerByte);
}
