#pragma once
// The base of the GIF 89a extension blocks (introducer 0x21, then a label) and the class
// descriptors through which the reader finds the class that loads a given extension.

#include <cstdint>
#include <memory>

#include "gif/gif_block_bytes.h"
#include "gif/gif_item.h"

class TGIFExtension;
class TGIFSubImage;

// What the reader knows of an extension class before it has an instance.
struct TGIFExtensionClass {
  const char* Name;
  // nullptr for a class that only routes to others (the application extension family).
  std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage& frame);
  // Given the stream just after the label, the class that should load this extension,
  // nullptr for none. A class that loads its own kind answers itself.
  const TGIFExtensionClass* (*FindExtension)(TStream& stream);
};

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage& frame);

  TGIFSubImage& Frame() const { return frame_; }
  virtual uint8_t ExtensionType() const = 0;
  TGIFVersion Version() const override { return gv89a; }
  // Reads and checks the introducer and the label; derived classes read the rest.
  void LoadFromStream(TStream& stream) override;
  // Writes the introducer and the label; derived classes write the rest.
  virtual void SaveToStream(TStream& stream);

 private:
  TGIFSubImage& frame_;
};

// Descriptor helpers for the classes that load their own kind.
template <class T>
std::unique_ptr<TGIFExtension> CreateExtension(TGIFSubImage& frame) {
  return std::make_unique<T>(frame);
}

template <class T>
const TGIFExtensionClass* FindOwnClass(TStream&) {
  return &T::Class;
}

template <class T>
constexpr TGIFExtensionClass OwnExtensionClass(const char* name) {
  return {name, &CreateExtension<T>, &FindOwnClass<T>};
}
