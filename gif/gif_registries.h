#pragma once
// The two process-wide tables through which the reader finds extension classes: by label,
// and application extensions by their 11-byte identifier. Each is made once, on its first
// use by whichever thread comes first, and never changes afterwards, so that any number of
// threads may read GIF files at once. Both are looked up from the last entry to the first,
// so a later entry shadows an earlier one.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gif/gif_extension.h"

class TExtensionList {
 public:
  TExtensionList();
  const TGIFExtensionClass* Find(uint8_t label) const;

 private:
  std::vector<std::pair<uint8_t, const TGIFExtensionClass*>> entries_;
};

class TAppExtensionList {
 public:
  TAppExtensionList();
  // Compares all 11 bytes.
  const TGIFExtensionClass* Find(const std::string& identifier) const;

 private:
  std::vector<std::pair<std::string, const TGIFExtensionClass*>> entries_;
};

const TExtensionList& ExtensionList();
const TAppExtensionList& AppExtensionList();
