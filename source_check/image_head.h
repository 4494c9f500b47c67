#pragma once
// What the first bytes of a picture file say without decoding it: its kind, by the
// signature the program's readers go by, and its width and height where its header holds
// them within those bytes. The source check tells with it whether a server sends a chart.

#include <cstdint>
#include <string>
#include <vector>

struct TImageHead {
  std::string MimeType;  // "image/gif", "image/jpeg", ...; empty: no picture signature
  int64_t Width = 0;     // 0 with Height when the bytes do not tell the size
  int64_t Height = 0;
};

TImageHead ReadImageHead(const std::vector<uint8_t>& bytes);

// "image/gif 1728x2200", or the type alone when the size is not known.
std::string DescribeImageHead(const TImageHead& head);
