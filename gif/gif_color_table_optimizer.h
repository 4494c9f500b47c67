#pragma once
// Reordering a colour table by how often its colours are used, dropping the unused ones
// and remapping the pixels that use it. The table is marked sorted.

class TGIFSubImage;

// The frame's local table. False for a table of 0 or 1 entries, which is left alone.
bool OptimizeColorMap(TGIFSubImage& frame);
