#include "gif/stream_bytes.h"

#include "gif/gif_messages.h"
#include "runtime/exceptions.h"

void ReadGIFBytes(TStream& stream, void* buffer, int64_t count) {
  if (count > 0 && stream.Read(buffer, count) != count) throw GIFException(kGIFPrematureEndOfData);
}

void WriteByte(TStream& stream, uint8_t byte) {
  stream.WriteBuffer(&byte, 1);
}
