#pragma once
// The two process-wide tables through which the reader finds extension classes: by label,
// and application extensions by their 11-byte identifier. Both are made on first use and
// looked up from the last entry to the first, so a later entry shadows an earlier one.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gif/gif_extension.h"

class TExtensionList {
 public:
  TExtensionList();
  void Add(uint8_t label, const TGIFExtensionClass* extensionClass);
  const TGIFExtensionClass* Find(uint8_t label) const;

 private:
  std::vector<std::pair<uint8_t, const TGIFExtensionClass*>> entries_;
};

class TAppExtensionList {
 public:
  TAppExtensionList();
  void Add(const std::string& identifier, const TGIFExtensionClass* extensionClass);
  // Compares all 11 bytes.
  const TGIFExtensionClass* Find(const std::string& identifier) const;

 private:
  std::vector<std::pair<std::string, const TGIFExtensionClass*>> entries_;
};

TExtensionList& ExtensionList();
TAppExtensionList& AppExtensionList();
// Codec shut-down: both tables go; a later use makes them again.
void DestroyExtensionRegistries();
