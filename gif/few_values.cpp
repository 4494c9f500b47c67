#include "gif/few_values.h"

#include <cstring>

namespace {

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kLowBits = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr int64_t kWord = 8;

// The high bit of every byte of word that is not 0.
uint64_t NonZeroBytes(uint64_t word) {
  return (((word & kLowBits) + kLowBits) | word) & kHighBits;
}

class TValueSet {
 public:
  explicit TValueSet(int most) : most_(most) {}

  // False once the values taken are more than most.
  bool Take(uint8_t value) {
    if (taken_[value]) return true;
    taken_[value] = true;
    if (count_ == most_) return false;
    list_[count_++] = value;
    return true;
  }
  // Every byte of word is a value taken: one test for eight pixels.
  bool HoldsEvery(uint64_t word) const {
    uint64_t outside = kHighBits;
    for (int i = 0; i < count_ && outside != 0; ++i)
      outside &= NonZeroBytes(word ^ kEveryByte * list_[i]);
    return outside == 0;
  }
  TDenseValues Numbered() const {
    TDenseValues dense;
    for (int value = 0; value < 256; ++value)
      if (taken_[value]) dense.Number[value] = static_cast<uint8_t>(dense.Count++);
    return dense;
  }

 private:
  const int most_;
  std::array<bool, 256> taken_{};
  std::array<uint8_t, 256> list_{};
  int count_ = 0;
};

}  // namespace

std::optional<TDenseValues> FewValues(const uint8_t* pixels, int64_t count, int most) {
  TValueSet values(most);
  int64_t at = 0;
  for (; at + kWord <= count; at += kWord) {
    uint64_t word = 0;
    std::memcpy(&word, pixels + at, sizeof word);
    if (values.HoldsEvery(word)) continue;
    for (int64_t k = 0; k < kWord; ++k)
      if (!values.Take(pixels[at + k])) return std::nullopt;
  }
  for (; at < count; ++at)
    if (!values.Take(pixels[at])) return std::nullopt;
  return values.Numbered();
}
