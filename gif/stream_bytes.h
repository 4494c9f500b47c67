#pragma once
// Byte-level reading and writing for the GIF blocks: little-endian fields and reads that
// either deliver every byte or fail with the codec's "Premature end of data".

#include <cstdint>

#include "runtime/stream.h"

inline uint16_t GetUInt16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline void PutUInt16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

inline uint32_t GetUInt32(const uint8_t* bytes) {
  return GetUInt16(bytes) | static_cast<uint32_t>(GetUInt16(bytes + 2)) << 16;
}

inline void PutUInt32(uint8_t* bytes, uint32_t value) {
  PutUInt16(bytes, static_cast<uint16_t>(value));
  PutUInt16(bytes + 2, static_cast<uint16_t>(value >> 16));
}

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
