#pragma once
// The abstract image: every image class (bitmap, icon, GIF, JPEG, TIFF, ...) derives from
// TGraphic, loads and saves itself by stream or file name, knows its size, draws itself
// into a rectangle of a canvas and tells listeners when it changed or made progress.

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/color.h"
#include "imaging/graphic_class.h"
#include "imaging/rect.h"

class TCanvas;
class TStream;

enum TProgressStage { psStarting, psRunning, psEnding };

class TGraphic;
using TGraphicChangeEvent = std::function<void(TGraphic& Sender)>;
// Stage, percent done (0..100), whether the listener should redraw now, the rectangle
// that changed (empty when unknown) and a message such as "Loading...". A handler may
// raise EAbort to stop the operation; the operation then ends quietly with what it has.
using TProgressEvent =
    std::function<void(TGraphic& Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                       const TRect& R, const std::string& Msg)>;

class TGraphic {
 public:
  TGraphic() = default;
  virtual ~TGraphic() = default;
  // Graphics are owned through pointers (a picture holds one of any class); copy the
  // content with Assign.
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  static TGraphicClass StaticClass();
  virtual TGraphicClass ClassType() const = 0;
  const char* ClassName() const { return ClassType().ClassName(); }

  // Loading reads from the stream's position on; a failure raises the class's error and
  // leaves the graphic as it was or empty, never half-loaded.
  virtual void LoadFromStream(TStream& Stream) = 0;
  // Not const: some classes produce their bytes on first save (JPEG compresses).
  virtual void SaveToStream(TStream& Stream) = 0;
  // Opens the file for reading and loads from it; the file is closed in every case.
  virtual void LoadFromFile(const std::string& FileName);
  // Writes the file atomically (a temporary file renamed over it): a failure never
  // leaves a half-written file and keeps the previous one.
  virtual void SaveToFile(const std::string& FileName);

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Classes whose size cannot change raise EInvalidGraphicOperation.
  virtual void SetWidth(int Value) = 0;
  virtual void SetHeight(int Value) = 0;
  virtual bool Empty() const = 0;

  // Draws the whole graphic stretched into R of the canvas. Not const: classes decode or
  // build cached bitmaps on first draw.
  virtual void Draw(TCanvas& Canvas, const TRect& R) = 0;

  // Copies Source into this graphic. The default asks Source.AssignTo(*this), which
  // refuses with EConvertError "Cannot assign a <Source class> to a <this class>".
  virtual void Assign(const TGraphic& Source);
  virtual void AssignTo(TGraphic& Dest) const;

  // The palette used to show the graphic; empty when it has none. Not const: classes may
  // compute and cache it.
  virtual TPalette Palette() { return {}; }
  virtual void SetPalette(const TPalette& Value);

  // Set when the last load (for JPEG: the decode) kept a partial picture because the image
  // data ended early or lost pixels inside. Warnings() holds what the reader noticed, one
  // line each, the reason for the mark among them.
  bool Truncated() const { return truncated_; }
  const std::string& Warnings() const { return warnings_; }

  // Transparent graphics keep the destination where they have no pixels of their own.
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);

  TGraphicChangeEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  // Call after every change of content or size; runs OnChange when set.
  void Changed();
  // A load starts with no warnings; a reader adds them, and marks a kept partial picture.
  void ClearWarnings();
  void AddWarning(const std::string& Text);
  void MarkTruncated(const std::string& Warning);
  // Adds another graphic's warnings, and its mark, to this one's.
  void TakeWarnings(const TGraphic& Source);
  // Runs OnProgress when set.
  void Progress(TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                const std::string& Msg);

 private:
  bool transparent_ = false;
  bool truncated_ = false;
  std::string warnings_;
};

// "Cannot assign a %s to a %s" with the two class names (null: "nil").
[[noreturn]] void RaiseAssignError(const TGraphic* Source, const TGraphic& Dest);
