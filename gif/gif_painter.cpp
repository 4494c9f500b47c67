#include "gif/gif_painter.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <utility>

#include "gif/gif_application_extension.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_sub_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/message_loop.h"

namespace {

constexpr int kForever = -1;
constexpr int64_t kWaitForever = -1;
constexpr int kPercent = 100;
constexpr int64_t kInlineSliceMs = 100;
// The colour of a window's background, for images without a global table.
constexpr TRGBColor kWindowColor = clWhite;

// The nice value of each thread priority, idle to time-critical. Raising a priority needs
// privileges; without them the thread keeps its priority.
void ApplyPriority(int threadId, TThreadPriority priority) {
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
  if (threadId != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), kNice[priority]);
}

TRect Whole(const TRect& rect) {
  return Rect(0, 0, rect.Width(), rect.Height());
}

std::unique_ptr<TBitmap> NewBuffer(const TRect& rect, TRGBColor color) {
  auto buffer = std::make_unique<TBitmap>();
  buffer->SetSize(rect.Width(), rect.Height());
  buffer->Canvas().FillRect(Whole(rect), color);
  return buffer;
}

}  // namespace

TGIFPainter::TGIFPainter(TGIFImage& image, TCanvas& canvas, const TRect& rect,
                         TGIFDrawOptions options, TGIFPainter** reference)
    : OnStartPaint(image.OnStartPaint),
      OnPaint(image.OnPaint),
      OnAfterPaint(image.OnAfterPaint),
      OnLoop(image.OnLoop),
      OnEndPaint(image.OnEndPaint),
      image_(image),
      canvas_(canvas),
      rect_(rect),
      options_(options),
      speed_(image.AnimationSpeed()),
      loop_(MessageLoop::Current()),
      reference_(reference) {
  if (reference_ != nullptr) *reference_ = this;
  backgroundColor_ = ChooseBackgroundColor();
  MakeBuffers(options);
}

TGIFPainter::~TGIFPainter() {
  if (thread_.joinable()) thread_.join();
}

TRGBColor TGIFPainter::ChooseBackgroundColor() const {
  if (image_.DrawBackgroundColor()) return *image_.DrawBackgroundColor();
  if (image_.GlobalColorMap().Count() == 0) return kWindowColor;
  return ColorFromValue(image_.BackgroundColor());
}

std::set<int> TGIFPainter::DisposalsUsed() const {
  std::set<int> used;
  for (int i = 0; i < image_.Images().Count(); ++i) {
    TGIFExtensionList& extensions = image_.Images()[i].Extensions();
    for (int e = 0; e < extensions.Count(); ++e) {
      if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extensions[e])) {
        used.insert(control->Disposal());
      }
    }
  }
  return used;
}

void TGIFPainter::MakeBuffers(TGIFDrawOptions options) {
  std::set<int> used = DisposalsUsed();
  if (options & drClearFirst) used.insert(dmBackground);
  const bool restoresBackground = used.count(dmBackground) != 0;
  if (restoresBackground && (options & drTransparent)) {
    background_ = NewBuffer(rect_, backgroundColor_);
    background_->Canvas().CopyRect(Whole(rect_), canvas_, rect_);
  }
  if (restoresBackground || used.count(dmPrevious) != 0) {
    backup_ = NewBuffer(rect_, backgroundColor_);
    backup_->Canvas().CopyRect(Whole(rect_), canvas_, rect_);
    frameBuffer_ = NewBuffer(rect_, backgroundColor_);
  }
}

void TGIFPainter::Start() {
  if (!Threaded()) return;
  const TThreadPriority priority = image_.ThreadPriority();
  thread_ = std::thread([this, priority] {
    threadId_ = static_cast<int>(gettid());
    ApplyPriority(threadId_, priority);
    Run();
    // Without the drawing thread's loop nobody else can end it.
    if (!HandOver([this] { Finish(); })) Finish();
  });
}

void TGIFPainter::Stop() {
  terminated_ = true;
  if (!Threaded()) return;
  {
    std::lock_guard lock(wakeLock_);
    woken_ = true;
  }
  wake_.notify_all();
  ApplyPriority(threadId_, tpNormal);
}

void TGIFPainter::RunInline() {
  Run();
  Finish();
  if (error_) std::rethrow_exception(error_);
}

void TGIFPainter::Finish() {
  // A threaded painter's error goes to the drawing thread; an inline one raises its own.
  image_.PainterEnded(*this, reference_, Threaded() ? std::exchange(error_, nullptr) : nullptr);
  backup_.reset();
  frameBuffer_.reset();
  background_.reset();
}

bool TGIFPainter::HandOver(const std::function<void()>& fn) {
  if (!Threaded()) {
    fn();
    return true;
  }
  if (loop_.Synchronize(fn)) return true;
  terminated_ = true;
  return false;
}

void TGIFPainter::RaiseEvent(const TGIFPainterEvent& event) {
  if (event) HandOver([this, &event] { event(*this); });
}

void TGIFPainter::Run() {
  try {
    Animate();
  } catch (...) {
    terminated_ = true;
    error_ = std::current_exception();
  }
}

void TGIFPainter::Animate() {
  if (!terminated_) {
    activeImage_ = 0;
    RaiseEvent(OnStartPaint);
    started_ = false;
    int loopsLeft = 1;
    int firstFrame = 0;
    int delay = Threaded() ? 0 : 1;
    bool loopFound = false;
    oldDisposal_ = dmNoDisposal;
    lastTime_ = TClock::now();
    timingError_ = 0;
    while ((loopsLeft != 0 || (options_ & drLoopForever)) && !terminated_) {
      activeImage_ = firstFrame;
      if (started_) RaiseEvent(OnLoop);
      const int64_t paintedBefore = framesPainted_;
      PaintFrames(loopsLeft, firstFrame, delay, loopFound);
      // A pass that shows no frame (every frame empty) would go round for ever.
      if (framesPainted_ == paintedBefore) break;
      if (loopsLeft > 0) --loopsLeft;
      if (!(options_ & drAnimate) || !(options_ & drLoop)) break;
    }
  }
  activeImage_ = -1;
  RaiseEvent(OnEndPaint);
}

void TGIFPainter::PaintFrames(int& loopsLeft, int& firstFrame, int& delay, bool& loopFound) {
  do {
    if (activeImage_ < 0 || activeImage_ >= image_.Images().Count() || terminated_) return;
    TGIFSubImage& frame = image_.Images()[activeImage_];
    if (FrameEmpty(frame)) return;
    WaitDelay(delay);
    if (terminated_) return;
    RaiseEvent(OnPaint);
    if (terminated_) return;
    ReadFrameExtensions(frame, loopsLeft, firstFrame, loopFound);
    PaintFrame();
    ++framesPainted_;
    oldDisposal_ = disposal_;
    if (terminated_) return;
    delay = FrameDelay(frame, Threaded());
    const int painted = activeImage_;
    RaiseEvent(OnAfterPaint);
    if (terminated_) return;
    if (activeImage_ == painted) ++activeImage_;
  } while (options_ & drAnimate);
}

// Asked on the drawing thread: the answer may decode the frame.
bool TGIFPainter::FrameEmpty(TGIFSubImage& frame) {
  bool empty = true;
  HandOver([&frame, &empty] { empty = frame.Empty(); });
  return empty;
}

void TGIFPainter::ReadFrameExtensions(TGIFSubImage& frame, int& loopsLeft, int& firstFrame,
                                      bool& loopFound) {
  disposal_ = dmNoDisposal;
  TGIFExtensionList& extensions = frame.Extensions();
  for (int e = 0; e < extensions.Count(); ++e) {
    if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&extensions[e])) {
      if (loopFound) continue;
      loopFound = true;
      const bool endless = loop->Loops() == 0 || (options_ & drLoopForever);
      loopsLeft = Threaded() && endless ? kForever : loop->Loops();
      firstFrame = activeImage_;
    } else if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extensions[e])) {
      disposal_ = control->Disposal();
    }
  }
}

int TGIFPainter::FrameDelay(TGIFSubImage& frame, bool threaded) {
  const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
  if (control == nullptr || control->Delay() == 0) return kDefaultDelay;
  const int delay = std::max<int>(control->Delay(), kMinimumDelay);
  return threaded ? delay : std::min(delay, kMaximumInlineDelay);
}

void TGIFPainter::WaitDelay(int delay) {
  if (delay < 1) {
    std::this_thread::yield();
    return;
  }
  // Built in advance, so that the paint is a copy.
  HandOver([this] {
    if (!terminated_) image_.Images()[activeImage_].Bitmap();
  });
  const TClock::time_point now = TClock::now();
  int64_t wait = kMaximumInlineDelay * kMillisecondsPerDelayUnit;
  if (speed_ < 1) {
    if (Threaded()) wait = kWaitForever;
  } else {
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - lastTime_).count();
    wait = (delay * kMillisecondsPerDelayUnit - (elapsed - timingError_) / 2) * kPercent / speed_;
    timingError_ = wait;
  }
  lastTime_ = now;
  if (!Threaded()) {
    WaitInline(std::max<int64_t>(wait, 1));
  } else if (wait > 0 || speed_ < 1) {
    WaitThreaded(wait);
  }
}

void TGIFPainter::WaitThreaded(int64_t milliseconds) {
  std::unique_lock lock(wakeLock_);
  const auto woken = [this] { return woken_; };
  if (milliseconds == kWaitForever) {
    wake_.wait(lock, woken);
  } else if (!wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), woken)) {
    return;
  }
  woken_ = false;
  timingError_ = 0;
  lastTime_ = TClock::now();
}

void TGIFPainter::WaitInline(int64_t milliseconds) {
  while (milliseconds > 0 && !terminated_) {
    const TClock::time_point start = TClock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(milliseconds, kInlineSliceMs)));
    milliseconds -=
        std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
    if (loop_.ProcessMessages()) {
      loop_.PostQuit();
      terminated_ = true;
    }
  }
}

void TGIFPainter::PaintFrame() {
  HandOver([this] {
    // A painter stopped meanwhile may have lost its canvas.
    if (terminated_) return;
    TGIFSubImage& frame = image_.Images()[activeImage_];
    if (backup_) {
      DisposalPaint(frame);
    } else {
      SimplePaint(frame);
    }
  });
}

void TGIFPainter::SimplePaint(TGIFSubImage& frame) {
  frame.Draw(canvas_, rect_, options_ & drTransparent, options_ & drTile);
  started_ = true;
}

void TGIFPainter::DisposalPaint(TGIFSubImage& frame) {
  const TRect whole = Whole(rect_);
  TCanvas* target = nullptr;
  TRect targetRect = whole;
  TBitmap* shown = nullptr;
  if (disposal_ <= dmBackground) {
    target = &backup_->Canvas();
    shown = backup_.get();
  } else if (disposal_ == dmPrevious && oldDisposal_ <= dmNoDisposal) {
    target = &canvas_;
    targetRect = rect_;
  } else if (disposal_ == dmPrevious && oldDisposal_ <= dmPrevious) {
    frameBuffer_->Canvas().CopyRect(whole, backup_->Canvas(), whole);
    target = &frameBuffer_->Canvas();
    shown = frameBuffer_.get();
  }
  if (target != nullptr) {
    if ((options_ & drClearFirst) && activeImage_ == 0) RestoreBackground(frame);
    frame.Draw(*target, targetRect, options_ & drTransparent, options_ & drTile);
    if (shown != nullptr) canvas_.CopyRect(rect_, shown->Canvas(), whole);
    if (disposal_ == dmBackground) RestoreBackground(frame);
  }
  started_ = true;
}

void TGIFPainter::RestoreBackground(TGIFSubImage& frame) {
  const TRect whole = Whole(rect_);
  const bool tile = options_ & drTile;
  const std::vector<TRect> areas =
      tile ? frame.TileBounds(whole) : std::vector<TRect>{frame.ScaledBounds(whole)};
  TCanvas& backup = backup_->Canvas();
  if (options_ & drTransparent) {
    for (const TRect& area : areas) backup.CopyRect(area, background_->Canvas(), area);
  } else if (tile && frame.Width() != image_.Width() && frame.Height() != image_.Height()) {
    const TRGBColor color = image_.DrawBackgroundColor().value_or(backgroundColor_);
    for (const TRect& area : areas) backup.FillRect(area, color);
  } else {
    backup.FillRect(frame.ScaledBounds(whole), backgroundColor_);
  }
}
