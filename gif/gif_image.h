#pragma once
// A GIF image held block by block: the logical screen with its global colour table and the
// frames, each with its extensions, colour table and pixels as one index per byte.

#include <cstdint>
#include <optional>
#include <string>

#include "gif/gif_defaults.h"
#include "gif/gif_header.h"
#include "gif/gif_image_list.h"
#include "gif/gif_warning.h"

class TGIFImage : public TGIFWarningSource {
 public:
  // Pixel buffers of all frames together are refused beyond this, before allocating.
  static constexpr int64_t kMaxPixels = int64_t{1} << 28;

  TGIFImage();
  ~TGIFImage() override;
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  TGIFHeader& Header() { return header_; }
  TGIFImageList& Images() { return images_; }
  TGIFColorMap& GlobalColorMap() { return header_.ColorMap(); }

  // The logical screen.
  int Width() const { return header_.Width(); }
  int Height() const { return header_.Height(); }
  // A size that would cut a frame raises "Image width (height) too small for contained
  // frames" and changes nothing.
  void SetWidth(int width);
  void SetHeight(int height);
  bool Empty() const { return images_.Count() == 0; }
  uint32_t BackgroundColor() { return header_.BackgroundColor(); }

  // Stops the painters and leaves no frames, a 0 x 0 screen and no global table.
  void Clear();
  // Replaces the content with the stream's GIF. On error the stream goes back to where it
  // was and what had been loaded stays.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);

  // Passes a warning of any part of the image to OnWarning.
  void Warning(const TGIFWarningSource& sender, int severity, const std::string& message);
  TGIFWarningEvent OnWarning;

  TGIFDrawOptions DrawOptions() const { return drawOptions_; }
  void SetDrawOptions(TGIFDrawOptions options) { drawOptions_ = options; }
  // Frames drawn through the 216-colour web palette.
  bool WebPaletteMode() const;
  TColorReduction ColorReduction() const { return colorReduction_; }
  void SetColorReduction(TColorReduction method) { colorReduction_ = method; }
  int ReductionBits() const { return reductionBits_; }
  void SetReductionBits(int bits) { reductionBits_ = bits; }
  TDitherMode DitherMode() const { return ditherMode_; }
  void SetDitherMode(TDitherMode mode) { ditherMode_ = mode; }
  TGIFCompression Compression() const { return compression_; }
  void SetCompression(TGIFCompression compression) { compression_ = compression; }
  TThreadPriority ThreadPriority() const { return threadPriority_; }
  void SetThreadPriority(TThreadPriority priority) { threadPriority_ = priority; }
  int AnimationSpeed() const { return animationSpeed_; }
  void SetAnimationSpeed(int speed) { animationSpeed_ = speed; }
  // None unless set: the painter then takes the background from the global table.
  std::optional<uint32_t> DrawBackgroundColor() const { return drawBackgroundColor_; }
  void SetDrawBackgroundColor(std::optional<uint32_t> color) { drawBackgroundColor_ = color; }
  bool RenderOnLoad() const { return renderOnLoad_; }
  void SetRenderOnLoad(bool on) { renderOnLoad_ = on; }

  // Book-keeping of the frames' pixel buffers against kMaxPixels.
  void ReservePixelBytes(int64_t size);
  void PixelBytesChanged(int64_t delta) { pixelBytes_ += delta; }
  // The logical screen was enlarged to hold a frame.
  void ScreenChanged();
  void GlobalColorMapChanged();

 private:
  void CheckFramesFit(int width, int height) const;

  TGIFHeader header_;
  int64_t pixelBytes_ = 0;
  TGIFImageList images_;

  TGIFDrawOptions drawOptions_;
  TColorReduction colorReduction_;
  int reductionBits_;
  TDitherMode ditherMode_;
  TGIFCompression compression_;
  TThreadPriority threadPriority_;
  int animationSpeed_;
  bool palettedDisplay_;
  bool renderOnLoad_;
  std::optional<uint32_t> drawBackgroundColor_;
};
