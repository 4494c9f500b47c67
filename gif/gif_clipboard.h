#pragma once
// The clipboard operations of GIF images over an in-process clipboard: the program never
// uses the desktop's clipboard, so a Qt-free stand-in with named formats is enough.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TGIFImage;

class TClipboard {
 public:
  // The platform's bitmap format.
  static constexpr int CF_BITMAP = 2;

  // The same name always gives the same number, from the range of named formats.
  int RegisterFormat(const std::string& name);
  void Clear();
  // False when the clipboard refuses the bytes (more than MaxBytes()).
  bool SetData(int format, std::vector<uint8_t> bytes);
  void SetBitmap(const TBitmap& bitmap);
  bool HasFormat(int format) const;
  // None when the format is absent.
  const std::vector<uint8_t>* Data(int format) const;
  const TBitmap* Bitmap() const { return bitmap_.get(); }
  size_t MaxBytes() const { return maxBytes_; }
  void SetMaxBytes(size_t maxBytes) { maxBytes_ = maxBytes; }

 private:
  static constexpr int kFirstNamedFormat = 0xC000;

  std::map<std::string, int> names_;
  std::map<int, std::vector<uint8_t>> data_;
  std::unique_ptr<TBitmap> bitmap_;
  size_t maxBytes_ = SIZE_MAX;
};

// The format "GIF Image" of the clipboard.
int GIFClipboardFormat(TClipboard& clipboard);
// Nothing for an empty image; otherwise the image bitmap as a platform bitmap and the GIF
// file under "GIF Image". Raises GIFException "Failed to store GIF on clipboard" when the
// clipboard refuses the bytes.
void SaveGIFToClipboard(TGIFImage& image, TClipboard& clipboard);
// "GIF Image" data is loaded as a GIF file, a platform bitmap is assigned as a bitmap;
// any other format raises GIFException "Unsupported clipboard format".
void LoadGIFFromClipboard(TGIFImage& image, TClipboard& clipboard, int format);
