#pragma once
// Reordering a colour table by how often its colours are used, dropping the unused ones
// and remapping the pixels that use it. The table is marked sorted.

class TGIFImage;
class TGIFSubImage;

// The frame's local table. False for a table of 0 or 1 entries, which is left alone.
bool OptimizeColorMap(TGIFSubImage& frame);
// The global table, over every frame that uses it. False for a table of 0 or 1 entries,
// and for an image without frames.
bool OptimizeGlobalColorMap(TGIFImage& image);
