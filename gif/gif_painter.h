#pragma once
// A painter shows the frames of a GIF image one after another on a canvas, honouring each
// frame's delay and disposal method and the image's loop count. With drAsync it runs in a
// thread of its own and hands every paint and every event to the thread that drew the
// image, through that thread's message loop; without it, it runs inside the draw call.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "gif/gif_defaults.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "imaging/color.h"
#include "imaging/rect.h"

class MessageLoop;
class TBitmap;
class TCanvas;
class TGIFSubImage;

class TGIFPainter {
 public:
  static constexpr int kMillisecondsPerDelayUnit = 12;
  // Delays are in units of a hundredth of a second as the file gives them.
  static constexpr int kDefaultDelay = 10;
  static constexpr int kMinimumDelay = 3;
  static constexpr int kMaximumInlineDelay = 1000;

  // Made on the drawing thread, which also receives the hand-overs. The reference, when
  // given, is made to point to the new painter.
  TGIFPainter(TGIFImage& image, TCanvas& canvas, const TRect& rect, TGIFDrawOptions options,
              TGIFPainter** reference);
  // Waits for the thread, which must have handed its end over (or be about to): the image
  // keeps a painter until then.
  ~TGIFPainter();
  TGIFPainter(const TGIFPainter&) = delete;
  TGIFPainter& operator=(const TGIFPainter&) = delete;

  TGIFImage& Image() const { return image_; }
  TCanvas& Canvas() const { return canvas_; }
  const TRect& Rect() const { return rect_; }
  TGIFDrawOptions DrawOptions() const { return options_; }
  bool Threaded() const { return (options_ & drAsync) != 0; }
  // The frame being shown; -1 when not painting. An after-paint handler may set the next.
  int ActiveImage() const { return activeImage_; }
  void SetActiveImage(int index) { activeImage_ = index; }
  // Set once a frame has been painted.
  bool Started() const { return started_; }
  bool Terminated() const { return terminated_; }

  // The threaded painter's thread begins (with the image's thread priority).
  void Start();
  // Ends the painter at its next step; cuts a threaded painter's wait short.
  void Stop();
  // Runs the whole animation on this thread; an error of the run is raised here.
  void RunInline();
  TGIFPainterEvent OnStartPaint;
  TGIFPainterEvent OnPaint;
  TGIFPainterEvent OnAfterPaint;
  TGIFPainterEvent OnLoop;
  TGIFPainterEvent OnEndPaint;

  // The delay after a frame, in units: its graphic control extension's when not 0 (at
  // least kMinimumDelay, inline at most kMaximumInlineDelay), else kDefaultDelay.
  static int FrameDelay(TGIFSubImage& frame, bool threaded);

 private:
  using TClock = std::chrono::steady_clock;

  void Run();
  void Animate();
  void PaintFrames(int& loopsLeft, int& firstFrame, int& delay, bool& loopFound);
  bool FrameEmpty(TGIFSubImage& frame);
  void ReadFrameExtensions(TGIFSubImage& frame, int& loopsLeft, int& firstFrame, bool& loopFound);
  void WaitDelay(int delay);
  void WaitThreaded(int64_t milliseconds);
  void WaitInline(int64_t milliseconds);
  void PaintFrame();
  void SimplePaint(TGIFSubImage& frame);
  void DisposalPaint(TGIFSubImage& frame);
  void RestoreBackground(TGIFSubImage& frame);
  void RaiseEvent(const TGIFPainterEvent& event);
  // Runs fn on the drawing thread and waits; false (and the painter stops) when that
  // thread's loop has gone.
  bool HandOver(const std::function<void()>& fn);
  void Finish();
  void MakeBuffers(TGIFDrawOptions options);
  std::set<int> DisposalsUsed() const;
  TRGBColor ChooseBackgroundColor() const;

  TGIFImage& image_;
  TCanvas& canvas_;
  const TRect rect_;
  const TGIFDrawOptions options_;
  const int speed_;
  MessageLoop& loop_;
  TGIFPainter** reference_;

  int activeImage_ = -1;
  int disposal_ = dmNoDisposal;
  int oldDisposal_ = dmNoDisposal;
  TRGBColor backgroundColor_;
  std::unique_ptr<TBitmap> backup_;
  std::unique_ptr<TBitmap> frameBuffer_;
  std::unique_ptr<TBitmap> background_;
  std::atomic<bool> started_ = false;
  std::atomic<bool> terminated_ = false;
  std::exception_ptr error_;

  TClock::time_point lastTime_;
  int64_t timingError_ = 0;
  int64_t framesPainted_ = 0;

  // The wake-up event of a threaded painter's wait.
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool woken_ = false;
  std::atomic<int> threadId_ = 0;
  std::thread thread_;
};
