#include "gif/gif_item.h"

#include "gif/gif_image.h"

void TGIFItem::Warning(int severity, const std::string& message) {
  if (image_ != nullptr) image_->Warning(*this, severity, message);
}

void TGIFItem::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead);
  LoadFromStream(stream);
}
