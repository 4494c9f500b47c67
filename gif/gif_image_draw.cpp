// Drawing a GIF image: one frame directly, several through a painter, and stopping the
// painters.

#include <algorithm>
#include <utility>

#include "gif/gif_image.h"
#include "gif/gif_painter.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/message_loop.h"

namespace {

// How long a wait for painters sleeps when nothing is handed over.
constexpr int kWaitSliceMs = 10;

// Clears a flag when the scope ends, also by an exception.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagGuard() { flag_ = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void TGIFImage::Draw(TCanvas& Canvas, const TRect& R) {
  if (Empty() || drawing_) return;
  TFlagGuard guard(drawing_);
  if (images_.Count() == 1 || !(drawOptions_ & drAnimate)) {
    images_[0].Draw(Canvas, R, drawOptions_ & drTransparent, drawOptions_ & drTile);
    return;
  }
  DrawAnimated(Canvas, R);
}

const TBitmap* TGIFImage::ScreenBitmap() {
  if (Empty() || (images_.Count() > 1 && (drawOptions_ & drAnimate))) return nullptr;
  TGIFSubImage& first = images_[0];
  if (first.Left() != 0 || first.Top() != 0 || first.Width() != Width() ||
      first.Height() != Height())
    return nullptr;
  return first.OpaqueBitmap(drawOptions_ & drTransparent);
}

void TGIFImage::DrawAnimated(TCanvas& canvas, const TRect& rect) {
  const bool direct = drawOptions_ & drDirect;
  if (bitmap_ && !direct) {
    CopyBitmapTo(canvas, rect);
    return;
  }
  {
    std::lock_guard lock(paintersLock_);
    if (drawPainter_ != nullptr && &drawPainter_->Canvas() == &canvas &&
        drawPainter_->Rect() == rect) {
      return;
    }
  }
  if (!StartDrawPainter(canvas, rect) || direct) return;
  if (!WaitForFirstFrame()) return;
  if (drawPainterError_) std::rethrow_exception(std::exchange(drawPainterError_, nullptr));
  CopyBitmapTo(canvas, rect);
}

// Without drDirect the painter paints into the image bitmap, which starts as a copy of what
// the destination holds. False when no painter runs afterwards.
bool TGIFImage::StartDrawPainter(TCanvas& canvas, const TRect& rect) {
  StopDraw();
  TCanvas* target = &canvas;
  TRect targetRect = rect;
  if (!(drawOptions_ & drDirect)) {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->SetSize(Width(), Height());
    targetRect = Rect(0, 0, Width(), Height());
    bitmap_->Canvas().CopyRect(targetRect, canvas, rect);
    target = &bitmap_->Canvas();
  }
  drawPainterError_ = nullptr;
  TGIFPainter* painter = Paint(&drawPainter_, *target, drawOptions_, targetRect);
  if (painter == nullptr) return false;
  painter->Start();
  return true;
}

// Dispatches the painters' hand-overs until the draw painter has painted its first frame
// or ended. False when a quit request came meanwhile (it is posted again).
bool TGIFImage::WaitForFirstFrame() {
  MessageLoop& loop = MessageLoop::Current();
  for (;;) {
    if (loop.ProcessMessages()) {
      loop.PostQuit();
      return false;
    }
    {
      std::lock_guard lock(paintersLock_);
      if (drawPainter_ == nullptr || drawPainter_->Terminated() || drawPainter_->Started()) {
        return true;
      }
    }
    loop.WaitMessage(kWaitSliceMs);
  }
}

void TGIFImage::CopyBitmapTo(TCanvas& canvas, const TRect& rect) {
  if (!(drawOptions_ & drTile)) {
    canvas.StretchBitmap(rect, *bitmap_);
    return;
  }
  const TRect whole = Rect(0, 0, Width(), Height());
  for (int top = rect.Top; top < rect.Bottom; top += Height()) {
    for (int left = rect.Left; left < rect.Right; left += Width()) {
      canvas.CopyRect(Bounds(left, top, Width(), Height()), bitmap_->Canvas(), whole);
    }
  }
}

TGIFPainter* TGIFImage::Paint(TGIFPainter** reference, TCanvas& canvas, TGIFDrawOptions options,
                              const TRect& rect) {
  if (Empty() || rect.IsEmpty()) {
    if (reference != nullptr) *reference = nullptr;
    return nullptr;
  }
  JoinEndedPainters();
  if (images_.Count() == 1) options &= ~(drAsync | drAnimate);
  auto painter = std::make_shared<TGIFPainter>(*this, canvas, rect, options, reference);
  {
    std::lock_guard lock(paintersLock_);
    painters_.push_back(painter);
  }
  if (options & drAsync) return painter.get();
  painter->RunInline();
  return nullptr;
}

TGIFPainter* TGIFImage::DrawPainter() {
  std::lock_guard lock(paintersLock_);
  return drawPainter_;
}

void TGIFImage::PainterEnded(TGIFPainter& painter, TGIFPainter** reference,
                             std::exception_ptr error) {
  std::lock_guard lock(paintersLock_);
  const auto held = std::find_if(painters_.begin(), painters_.end(),
                                 [&painter](const auto& entry) { return entry.get() == &painter; });
  if (held != painters_.end()) {
    if (painter.Threaded()) endedPainters_.push_back(std::move(*held));
    painters_.erase(held);
  }
  if (reference == nullptr || *reference != &painter) return;
  *reference = nullptr;
  if (reference == &drawPainter_) drawPainterError_ = error;
}

void TGIFImage::StopDraw() {
  MessageLoop& loop = MessageLoop::Current();
  const auto threadedDrawPainterRuns = [this] {
    std::lock_guard lock(paintersLock_);
    if (drawPainter_ == nullptr) return false;
    drawPainter_->Stop();
    return drawPainter_->Threaded();
  };
  while (threadedDrawPainterRuns()) {
    if (loop.ProcessMessages()) {
      loop.PostQuit();
      break;
    }
    // The hand-over just dispatched may have been its end: then there is nothing to wait for.
    if (!threadedDrawPainterRuns()) break;
    loop.WaitMessage(kWaitSliceMs);
  }
  JoinEndedPainters();
  FreeBitmap();
}

// The painters' threads look at this image until they have ended, so the wait goes on also
// after a quit request, which is posted again at the end.
void TGIFImage::StopPainters() {
  MessageLoop& loop = MessageLoop::Current();
  const auto threadedPaintersRun = [this] {
    std::lock_guard lock(paintersLock_);
    for (const auto& painter : painters_) painter->Stop();
    return std::any_of(painters_.begin(), painters_.end(),
                       [](const auto& painter) { return painter->Threaded(); });
  };
  bool quit = false;
  while (threadedPaintersRun()) {
    if (loop.ProcessMessages()) quit = true;
    if (!threadedPaintersRun()) break;
    loop.WaitMessage(kWaitSliceMs);
  }
  if (quit) loop.PostQuit();
  JoinEndedPainters();
  FreeBitmap();
}

void TGIFImage::JoinEndedPainters() {
  std::vector<std::shared_ptr<TGIFPainter>> ended;
  {
    std::lock_guard lock(paintersLock_);
    ended.swap(endedPainters_);
  }
  // Destroyed outside the lock: each waits for its thread to return from its last hand-over.
}
