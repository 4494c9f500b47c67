#pragma once
// Plays the frames of an animated GIF chart through the GIF painter. The painter runs in a
// thread of its own and hands each frame over on the window's thread, where it is drawn on
// a white screen of the image's size and passed on as a Qt picture. Stopping never waits
// for the painter's thread, so a new chart shows at once.

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TGIFImage;

class TQtChartAnimation {
 public:
  using TFrameShown = std::function<void(const QImage&)>;

  explicit TQtChartAnimation(TFrameShown shown);
  // Waits for the painters' threads to end.
  ~TQtChartAnimation();
  TQtChartAnimation(const TQtChartAnimation&) = delete;
  TQtChartAnimation& operator=(const TQtChartAnimation&) = delete;

  // Plays the image's frames, looping for ever; what played before stops. An image of one
  // frame does not play.
  void Play(std::shared_ptr<TGIFImage> image);
  void Stop();
  bool Playing() const { return play_ != nullptr; }
  int64_t FramesShown() const { return framesShown_; }

 private:
  struct TPlay;
  void FrameShown(const TPlay& play);
  void DropEnded();

  TFrameShown shown_;
  std::unique_ptr<TPlay> play_;
  // Stopped, kept until their painters have handed their end over.
  std::vector<std::unique_ptr<TPlay>> stopping_;
  int64_t framesShown_ = 0;
};
