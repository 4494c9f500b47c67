#pragma once
// Repeatable random bytes: the same size and seed give the same bytes.

#include <cstddef>
#include <random>
#include <string>

inline std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}
