#include "gif/gif_clipboard.h"

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

int TClipboard::RegisterFormat(const std::string& name) {
  const auto found = names_.find(name);
  if (found != names_.end()) return found->second;
  const int format = kFirstNamedFormat + static_cast<int>(names_.size());
  names_.emplace(name, format);
  return format;
}

void TClipboard::Clear() {
  data_.clear();
  bitmap_.reset();
}

bool TClipboard::SetData(int format, std::vector<uint8_t> bytes) {
  if (bytes.size() > maxBytes_) return false;
  data_[format] = std::move(bytes);
  return true;
}

void TClipboard::SetBitmap(const TBitmap& bitmap) {
  bitmap_ = std::make_unique<TBitmap>(bitmap);
}

bool TClipboard::HasFormat(int format) const {
  return format == CF_BITMAP ? bitmap_ != nullptr : data_.count(format) > 0;
}

const std::vector<uint8_t>* TClipboard::Data(int format) const {
  const auto found = data_.find(format);
  return found == data_.end() ? nullptr : &found->second;
}

int GIFClipboardFormat(TClipboard& clipboard) {
  return clipboard.RegisterFormat(kGIFDescription);
}

void SaveGIFToClipboard(TGIFImage& image, TClipboard& clipboard) {
  if (image.Empty()) return;
  if (TBitmap* bitmap = image.Bitmap()) clipboard.SetBitmap(*bitmap);
  TMemoryStream stream;
  image.SaveToStream(stream);
  if (!clipboard.SetData(GIFClipboardFormat(clipboard), stream.Bytes())) {
    throw GIFException(kGIFStoreFailed);
  }
}

void LoadGIFFromClipboard(TGIFImage& image, TClipboard& clipboard, int format) {
  if (format == GIFClipboardFormat(clipboard) && clipboard.Data(format) != nullptr) {
    TMemoryStream stream(*clipboard.Data(format));
    image.LoadFromStream(stream);
  } else if (format == TClipboard::CF_BITMAP && clipboard.Bitmap() != nullptr) {
    image.Assign(*clipboard.Bitmap());
  } else {
    throw GIFException(kGIFUnsupportedClipboardFormat);
  }
}
