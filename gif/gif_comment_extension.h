#pragma once
// Comment extension (label 0xFE): text that is not displayed.

#include <string>
#include <vector>

#include "gif/gif_extension.h"

class TGIFCommentExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xFE;
  static const TGIFExtensionClass Class;

  explicit TGIFCommentExtension(TGIFSubImage& frame) : TGIFExtension(frame) {}

  uint8_t ExtensionType() const override { return kLabel; }
  // One line per sub-block, exactly its bytes.
  std::vector<std::string>& Text() { return text_; }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

 private:
  std::vector<std::string> text_;
};
