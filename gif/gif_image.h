#pragma once
// A GIF image held block by block: the logical screen with its global colour table and the
// frames, each with its extensions, colour table and pixels as one index per byte. As a
// graphic it draws its first frame, or animates its frames through a painter.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gif/gif_defaults.h"
#include "gif/gif_header.h"
#include "gif/gif_image_list.h"
#include "gif/gif_warning.h"
#include "imaging/graphic.h"

class TBitmap;
class TGIFPainter;

using TGIFPainterEvent = std::function<void(TGIFPainter& Sender)>;

class TGIFImage : public TGraphic, public TGIFWarningSource {
 public:
  // A frame may hold ImagePixelLimit() pixels; all frames together this many frames' worth
  // (2^31 bytes by default), so that a long loop of large frames loads but a file cannot
  // exhaust memory. Both are checked before allocating.
  static constexpr int64_t kMaxFullSizeFrames = 8;

  TGIFImage();
  // Stops the painters first.
  ~TGIFImage() override;

  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  TGIFHeader& Header() { return header_; }
  TGIFImageList& Images() { return images_; }
  TGIFColorMap& GlobalColorMap() { return header_.ColorMap(); }

  // The logical screen.
  int Width() const override { return header_.Width(); }
  int Height() const override { return header_.Height(); }
  // A size that would cut a frame raises "Image width (height) too small for contained
  // frames" and changes nothing.
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Empty() const override { return images_.Count() == 0; }
  uint32_t BackgroundColor() { return header_.BackgroundColor(); }

  // Stops the painters and leaves no frames, a 0 x 0 screen and no global table.
  void Clear();
  // Replaces the content with the stream's GIF, reporting progress as "Loading...". On
  // error the stream goes back to where it was, and what had been loaded stays.
  void LoadFromStream(TStream& Stream) override;
  // Writes the image as it is held, reporting progress as "Saving..." (see WriteGIF).
  void SaveToStream(TStream& Stream) override;

  // The first frame, or with drAnimate and several frames a painter that steps through
  // them (see TGIFPainter). A draw that starts while one is in progress does nothing.
  void Draw(TCanvas& Canvas, const TRect& R) override;
  // The bitmap that Draw into the image's own size shows, whatever the canvas held: the
  // first frame's bitmap when that frame fills the screen, is the only one drawn (a single
  // frame, or no animation) and leaves no pixel transparent. None otherwise.
  const TBitmap* ScreenBitmap();
  // A bitmap receives the image bitmap (see Bitmap()).
  void AssignTo(TGraphic& Dest) const override;
  // A bitmap, or any graphic that can be drawn or assigned onto one, becomes the only
  // frame (see ImportBitmap). A graphic that cannot is refused with "Cannot assign a %s
  // to a %s". The source bitmap may be converted to 24 bits per pixel.
  void Assign(const TGraphic& Source) override;

  // The palette of the image bitmap, else of the global table (or the web palette), else
  // the first frame's palette.
  TPalette Palette() override;
  void SetPalette(const TPalette& Value) override;
  // The image's own bitmap of the screen's size: the first frame on it, opaque (a copy of
  // that frame's bitmap when it covers the screen exactly). None for an empty image.
  TBitmap* Bitmap();

  // Passes a warning of any part of the image to OnWarning.
  void Warning(const TGIFWarningSource& sender, int severity, const std::string& message);
  TGIFWarningEvent OnWarning;
  // The painters' events, copied into each painter when it is made.
  TGIFPainterEvent OnStartPaint;
  TGIFPainterEvent OnPaint;
  TGIFPainterEvent OnAfterPaint;
  TGIFPainterEvent OnLoop;
  TGIFPainterEvent OnEndPaint;

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
  std::optional<TRGBColor> DrawBackgroundColor() const { return drawBackgroundColor_; }
  void SetDrawBackgroundColor(std::optional<TRGBColor> color) { drawBackgroundColor_ = color; }
  bool RenderOnLoad() const { return renderOnLoad_; }
  void SetRenderOnLoad(bool on) { renderOnLoad_ = on; }

  // Painters. Paint makes one for canvas and rect and answers it when it runs in a thread
  // of its own (the caller starts it); an inline painter runs to its end first and
  // nothing is answered. The reference, when given, holds the painter until it ends.
  TGIFPainter* Paint(TGIFPainter** reference, TCanvas& canvas, TGIFDrawOptions options,
                     const TRect& rect);
  // The painter the last draw started; null when none is running.
  TGIFPainter* DrawPainter();
  // Stops the draw painter and waits for it, then drops the image bitmap.
  void StopDraw();
  // Stops every painter of the image and waits for their threads, then drops the image
  // bitmap.
  void StopPainters();
  // A painter has ended: it leaves the list, and the reference it was given is cleared; a
  // threaded one is kept until a stop, a new painter or the image's end waits for its
  // thread. Runs on the drawing thread.
  void PainterEnded(TGIFPainter& painter, TGIFPainter** reference, std::exception_ptr error);

  // For the model: book-keeping of the pixel buffers against the limits, notices of
  // changes, and progress of building frame bitmaps.
  void ReservePixelBytes(int64_t size);
  void PixelBytesChanged(int64_t delta) { pixelBytes_ += delta; }
  void ScreenChanged();
  void GlobalColorMapChanged();
  void LoadProgress(TStream& stream);
  // A frame's data ended before its last pixel: the image is truncated.
  void FrameCut();
  void RenderProgress(TProgressStage stage, uint8_t percent);
  void ConvertProgress(TProgressStage stage, uint8_t percent);
  void FrameRendered();

 private:
  void CheckFramesFit(int width, int height) const;
  void DrawAnimated(TCanvas& canvas, const TRect& rect);
  bool StartDrawPainter(TCanvas& canvas, const TRect& rect);
  bool WaitForFirstFrame();
  void CopyBitmapTo(TCanvas& canvas, const TRect& rect);
  void FreeBitmap();
  void JoinEndedPainters();

  TGIFHeader header_;
  int64_t pixelBytes_ = 0;
  TGIFImageList images_;

  std::mutex paintersLock_;
  std::vector<std::shared_ptr<TGIFPainter>> painters_;
  // Threaded painters whose end has been handed over, their threads still to be joined.
  std::vector<std::shared_ptr<TGIFPainter>> endedPainters_;
  TGIFPainter* drawPainter_ = nullptr;
  // The error of a threaded draw painter that ended while the draw waited for it.
  std::exception_ptr drawPainterError_;
  std::unique_ptr<TBitmap> bitmap_;
  std::optional<TPalette> palette_;
  bool paletteModified_ = false;
  bool drawing_ = false;
  bool computingPalette_ = false;

  TGIFDrawOptions drawOptions_;
  TColorReduction colorReduction_;
  int reductionBits_;
  TDitherMode ditherMode_;
  TGIFCompression compression_;
  TThreadPriority threadPriority_;
  int animationSpeed_;
  bool palettedDisplay_;
  bool renderOnLoad_;
  std::optional<TRGBColor> drawBackgroundColor_;
};
