#pragma once
// The codec's settings and the process-wide record of their defaults, which every new GIF
// image copies once when it is made.

#include <cstdint>

// Draw options: a set of the flags below.
using TGIFDrawOptions = uint16_t;
enum TGIFDrawOption : TGIFDrawOptions {
  drAsync = 1 << 0,                  // the painter runs in a thread of its own
  drTransparent = 1 << 1,            // transparent colours are drawn through the mask
  drAnimate = 1 << 2,                // several frames are stepped through by a painter
  drLoop = 1 << 3,                   // start over after the last frame, as the loop count allows
  drLoopForever = 1 << 4,            // ignore the loop count
  drCheckCanvas = 1 << 5,            // stop painting when the destination has gone
  drDirect = 1 << 6,                 // paint straight onto the destination, not the image's bitmap
  drClearFirst = 1 << 7,             // clear the first frame's area to the background first
  drTile = 1 << 8,                   // repeat at the natural size instead of stretching
  drWebPalette = 1 << 9,             // convert frames to the 216-colour web palette
  drWebPaletteIfPaletted = 1 << 10,  // ...only on displays of 8 bits per pixel or fewer
};
inline constexpr TGIFDrawOptions kGIFDefaultDrawOptions =
    drAsync | drTransparent | drAnimate | drLoop | drWebPalette | drWebPaletteIfPaletted;

enum TColorReduction {
  rmNone,
  rmWindows20,
  rmWindows256,
  rmWindowsGray,
  rmMonochrome,
  rmGrayScale,
  rmNetscape,
  rmQuantize,
  rmQuantizeWindows,
  rmPalette,
};

enum TDitherMode {
  dmNearest,
  dmFloydSteinberg,
  dmStucki,
  dmSierra,
  dmJaJuNI,
  dmSteveArche,
  dmBurkes,
};

enum TGIFCompression { gcLZW, gcRLE };

enum TThreadPriority {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical,
};

struct TGIFImageDefaults {
  TGIFDrawOptions DrawOptions = kGIFDefaultDrawOptions;
  TColorReduction ColorReduction = rmNetscape;
  int ReductionBits = 8;
  TDitherMode DitherMode = dmNearest;
  TGIFCompression Compression = gcLZW;
  TThreadPriority ThreadPriority = tpNormal;
  // Percent of the frames' nominal speed; 0 or less pauses the animation.
  int AnimationSpeed = 100;
  // On when the display has 8 bits per pixel or fewer (decided at codec start-up).
  bool PalettedDisplay = false;
  // Build each frame's bitmap as soon as the frame is loaded.
  bool RenderOnLoad = false;
};

TGIFImageDefaults& GIFImageDefaults();
