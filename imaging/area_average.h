#pragma once
// Resampling by area: each target pixel is the mean colour of the source pixels it
// covers, so thin black lines of a shrunk fax or chart become grey instead of vanishing.

#include "imaging/dib.h"

// A true-colour dib of Width x Height (each at least 1) from the whole source.
TDib AreaAverage(const TDib& Source, int Width, int Height);
