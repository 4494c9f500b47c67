#pragma once
// Which kind of image file bytes hold, by the signature they begin with. A download's name
// often says something else (a PNG served as chart.gif, a script's address): whenever the
// bytes carry a known signature they choose the reader, and the name only when they do not.

#include <cstdint>
#include <string>
#include <vector>

// ".gif", ".jpg", ".png", ".tif" or ".bmp" for bytes that begin with that kind's
// signature; "" for none of them.
std::string ImageKindOfBytes(const std::vector<uint8_t>& Head);
// The same for the first bytes of a file; raises EFOpenError when it cannot be opened.
std::string ImageKindOfFile(const std::string& FileName);
// The kind a file is read as: its signature's, or when it has none its extension,
// lower-cased with the dot (".pgm"; "" for a name without one).
std::string ReadingKind(const std::string& FileName);
