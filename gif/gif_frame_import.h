#pragma once
// Building a GIF frame from a bitmap: 1-, 4- and 8-bit bitmaps are taken with their own
// palette, others are first reduced with the owning image's settings; or every bitmap
// reduced, as its 24-bit copy would be.

class TBitmap;
class TGIFImage;
class TGIFSubImage;

// Clears the frame and fills it from the bitmap; an empty bitmap, or a reduction that
// answers none, leaves the frame empty. Converts a bitmap deeper than 8 bits to 24 bits
// in place (except without reduction). A transparent bitmap gets a black entry appended
// for its transparent pixels and a graphic control extension naming it. Raises
// GIFException "Color table overflow" for more than 256 colours without reduction.
void ImportBitmap(TGIFSubImage& frame, TBitmap& bitmap);

// Clears the image and adds one frame imported from the bitmap.
void AssignBitmap(TGIFImage& image, TBitmap& bitmap);

// As ImportBitmap does with the bitmap's 24-bit copy: an indexed bitmap is reduced with the
// image's settings too. The bitmap itself stays as it is.
void ImportReducedBitmap(TGIFSubImage& frame, const TBitmap& bitmap);

// Clears the image and adds one frame imported from the bitmap by ImportReducedBitmap.
void AssignReducedBitmap(TGIFImage& image, const TBitmap& bitmap);
