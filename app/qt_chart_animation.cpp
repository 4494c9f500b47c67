#include "app/qt_chart_animation.h"

#include <algorithm>

#include "gif/gif_image.h"
#include "gif/gif_painter.h"
#include "gui/qt_image.h"
#include "imaging/bitmap.h"

namespace {

// A chart loop repeats until the next chart comes; transparent pixels show the white
// screen, as they do in the still picture.
constexpr TGIFDrawOptions kPlayOptions =
    drAsync | drAnimate | drLoop | drLoopForever | drTransparent;

}  // namespace

// The painter paints the image's frames onto the screen and clears its own pointer when it
// has ended; both must stay until then, so the image, which waits for its painters, is
// destroyed first.
struct TQtChartAnimation::TPlay {
  TGIFPainter* painter = nullptr;
  TBitmap screen;
  std::shared_ptr<TGIFImage> image;
};

TQtChartAnimation::TQtChartAnimation(TFrameShown shown) : shown_(std::move(shown)) {}

// Each image waits for its painter's thread as it goes.
TQtChartAnimation::~TQtChartAnimation() {
  Stop();
}

void TQtChartAnimation::Play(std::shared_ptr<TGIFImage> image) {
  Stop();
  if (!image || image->Images().Count() < 2) return;
  auto play = std::make_unique<TPlay>();
  play->image = std::move(image);
  TGIFImage& gif = *play->image;
  play->screen.SetSize(gif.Width(), gif.Height());
  const TPlay* current = play.get();
  gif.OnAfterPaint = [this, current](TGIFPainter&) {
    if (current == play_.get()) FrameShown(*current);
  };
  TGIFPainter* painter = gif.Paint(&play->painter, play->screen.Canvas(), kPlayOptions,
                                   Rect(0, 0, gif.Width(), gif.Height()));
  play_ = std::move(play);
  if (painter != nullptr) painter->Start();
}

void TQtChartAnimation::Stop() {
  if (play_ && play_->painter != nullptr) {
    play_->painter->Stop();
    stopping_.push_back(std::move(play_));
  }
  play_.reset();
  DropEnded();
}

void TQtChartAnimation::FrameShown(const TPlay& play) {
  ++framesShown_;
  shown_(ToQImage(play.screen.Dib()));
}

void TQtChartAnimation::DropEnded() {
  std::erase_if(stopping_, [](const auto& play) { return play->painter == nullptr; });
}
