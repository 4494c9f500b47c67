#pragma once
// The common base of the header, the frames, the extensions and the trailer of a GIF.

#include <string>

#include "gif/gif_warning.h"
#include "runtime/stream.h"

class TGIFImage;

enum TGIFVersion { gvUnknown, gv87a, gv89a };

class TGIFItem : public TGIFWarningSource {
 public:
  explicit TGIFItem(TGIFImage* image) : image_(image) {}
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  TGIFImage* Image() const { return image_; }

  // The oldest file version that can hold this item.
  virtual TGIFVersion Version() const { return gv87a; }
  // Forwards to the owning image, which passes it to its warning event.
  virtual void Warning(int severity, const std::string& message);
  virtual void LoadFromStream(TStream& stream) = 0;
  // Opens the file for reading (others may read it too) and loads from it.
  void LoadFromFile(const std::string& fileName);

 private:
  TGIFImage* image_;
};
