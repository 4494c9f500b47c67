#pragma once
// Sub-block chains: runs of (size byte 1-255, that many bytes) ended by a size byte 0, the
// carrier of text, comments and application data.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/stream.h"

// The bytes of each sub-block, one string per sub-block, up to the terminator or the end of
// the stream. A sub-block shorter than its size byte raises "Premature end of data".
std::vector<std::string> ReadSubBlocks(TStream& stream);

// Each piece cut into sub-blocks of at most 255 bytes, in order (an empty piece writes
// none), then the terminator.
void WriteSubBlocks(TStream& stream, const std::vector<std::string>& pieces);

// Moves past the chain without keeping it.
void SkipSubBlocks(TStream& stream);

// Appends the chain to chain as it is, size bytes and terminator included, and answers
// whether it was whole. When the stream ends inside it, what is there is appended as a
// chain of its own: the last sub-block's size byte says how many bytes came, and a
// terminator ends it.
bool CopySubBlocks(TStream& stream, std::vector<uint8_t>& chain);
