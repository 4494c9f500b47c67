#pragma once
// Byte-level reading and writing for the GIF blocks: reads that either deliver every byte
// or fail with the codec's "Premature end of data".

#include <cstdint>

#include "runtime/stream.h"

// False when the stream has no byte left.
inline bool ReadByte(TStream& stream, uint8_t& byte) {
  return stream.Read(&byte, 1) == 1;
}

// Reads exactly count bytes or raises GIFException "Premature end of data".
void ReadGIFBytes(TStream& stream, void* buffer, int64_t count);

void WriteByte(TStream& stream, uint8_t byte);

// Bytes left between the position and the end.
inline int64_t BytesLeft(TStream& stream) {
  return stream.Size() - stream.Position();
}
