#pragma once
// Fixed palettes standing in for the ones a windowing system would lend the colour
// reduction: its 20 reserved colours and its halftone palette.

#include "imaging/color.h"

// The 20 reserved colours of a 256-colour display: 10 dark and light shades, then the 10
// full primaries, secondaries, greys and white.
TPalette SystemPalette20();

// 256 entries: the first 10 reserved colours, the 216-colour web cube, 20 greys between
// the cube's greys, the last 10 reserved colours.
TPalette HalftonePalette();
