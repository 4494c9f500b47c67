#pragma once
// The JPEG graphic. It keeps the compressed bytes of a file and decodes them into a
// bitmap only when the image is first drawn or its bitmap is asked for; a bitmap assigned
// to it is compressed when its bytes are first needed (on save). Images assigned from one
// another share their compressed bytes.

#include <memory>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/jpeg_codec.h"

inline constexpr const char* kJPEGDescription = "JPEG Image File";

// One complete JPEG file and what its header says; shared, never changed once made.
struct TJPEGData {
  std::vector<uint8_t> Bytes;
  int Width = 0;
  int Height = 0;
  bool Grayscale = false;
};

// The settings of a JPEG image. Every new image copies the process-wide defaults record
// (JPEGDefaults()); nothing in the program changes it.
struct TJPEGSettings {
  uint8_t CompressionQuality = 90;
  bool Grayscale = false;
  TJPEGPerformance Performance = jpBestQuality;
  TJPEGPixelFormat PixelFormat = jf24Bit;
  bool ProgressiveDisplay = false;
  bool ProgressiveEncoding = false;
  TJPEGScale Scale = jsFullSize;
  bool Smoothing = true;
};
TJPEGSettings& JPEGDefaults();

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage() = default;

  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // Takes every byte from the stream's position to its end and reads the header only;
  // bytes that do not start a JPEG image raise EJPEG and leave the image as it was.
  void LoadFromStream(TStream& Stream) override;
  // Writes the compressed bytes, compressing the assigned bitmap first when needed; an
  // image of a 0 x 0 bitmap writes nothing.
  void SaveToStream(TStream& Stream) override;

  int Width() const override;
  int Height() const override;
  // Raise EInvalidGraphicOperation "Cannot change the size of a JPEG image".
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Empty() const override;
  // Decodes when needed and stretches the decoded bitmap into R.
  void Draw(TCanvas& Canvas, const TRect& R) override;
  // From a JPEG image: its bytes (shared) and a copy of its decoded bitmap. From a
  // bitmap: a copy of it, compressed when saved.
  void Assign(const TGraphic& Source) override;
  // To a bitmap: a copy of the decoded bitmap.
  void AssignTo(TGraphic& Dest) const override;
  // The decoded bitmap's palette, or the one given for decoding.
  TPalette Palette() override;
  // Given before decoding, an 8-bit decode quantizes to exactly these colours.
  void SetPalette(const TPalette& Value) override;

  // The decoded bitmap, decoding first when needed.
  TBitmap& Bitmap();
  // Makes sure the compressed bytes exist.
  void JPEGNeeded();
  const TJPEGData& Data() const { return *data_; }

  uint8_t CompressionQuality() const { return settings_.CompressionQuality; }
  void SetCompressionQuality(uint8_t Value) { settings_.CompressionQuality = Value; }
  bool Grayscale() const { return settings_.Grayscale; }
  void SetGrayscale(bool Value) { ChangeDecodeSetting(settings_.Grayscale, Value); }
  TJPEGPerformance Performance() const { return settings_.Performance; }
  void SetPerformance(TJPEGPerformance Value) { ChangeDecodeSetting(settings_.Performance, Value); }
  TJPEGPixelFormat PixelFormat() const { return settings_.PixelFormat; }
  void SetPixelFormat(TJPEGPixelFormat Value) { ChangeDecodeSetting(settings_.PixelFormat, Value); }
  bool ProgressiveDisplay() const { return settings_.ProgressiveDisplay; }
  void SetProgressiveDisplay(bool Value) { settings_.ProgressiveDisplay = Value; }
  bool ProgressiveEncoding() const { return settings_.ProgressiveEncoding; }
  void SetProgressiveEncoding(bool Value) { settings_.ProgressiveEncoding = Value; }
  TJPEGScale Scale() const { return settings_.Scale; }
  void SetScale(TJPEGScale Value);
  bool Smoothing() const { return settings_.Smoothing; }
  void SetSmoothing(bool Value) { ChangeDecodeSetting(settings_.Smoothing, Value); }

 private:
  // A decode setting changed: a bitmap decoded from the bytes is dropped, to be decoded
  // again with the new setting.
  template <class T>
  void ChangeDecodeSetting(T& setting, T value) {
    if (setting == value) return;
    setting = value;
    DecodeSettingChanged();
  }
  void DecodeSettingChanged();
  void Decode();
  void Compress();
  TJPEGProgressEvent ProgressRelay();

  std::shared_ptr<const TJPEGData> data_ = std::make_shared<const TJPEGData>();
  std::unique_ptr<TBitmap> bitmap_;
  TPalette tempPalette_;
  TJPEGSettings settings_ = JPEGDefaults();
  mutable bool scaledSizeKnown_ = false;
  mutable int scaledWidth_ = 0;
  mutable int scaledHeight_ = 0;
};

// The JPEG module's rows of the picture format registry: "jpeg" and "jpg".
void RegisterJPEGFormats();
void UnregisterJPEGFormats();
