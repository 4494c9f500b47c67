#pragma once
// Our images as Qt images, for painting and printing.

#include <QImage>

struct TDib;

// The dib as a QImage, copied once; formats Qt has no twin of go through 24 bits.
QImage ToQImage(const TDib& Source);
