#pragma once
// Sub-block chains: runs of (size byte 1-255, that many bytes) ended by a size byte 0, the
// carrier of text, comments and application data.

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
