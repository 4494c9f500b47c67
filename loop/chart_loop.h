#pragma once
// A loop of a source's last charts: one animated GIF, oldest chart first, that plays for
// ever, as a radar or satellite loop is read. Made with the program's own GIF writer and
// its palette reduction, the same as a chart saved as GIF.

#include <cstdint>
#include <string>
#include <vector>

struct TChartLoop {
  std::vector<uint8_t> gif;  // empty when no chart could be read
  int frames = 0;
  // "path: reason" for each chart left out because it could not be read (deleted, damaged).
  std::vector<std::string> leftOut;
};

// The charts (oldest first) as frames shown delayCentiseconds each; every frame is scaled
// to the size of the newest chart that could be read.
TChartLoop MakeChartLoop(const std::vector<std::string>& paths, int delayCentiseconds);
