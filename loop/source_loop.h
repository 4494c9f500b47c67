#pragma once
// The loop of one source's last charts, as the archive window and the web page offer it:
// the newest saves that saved.txt lists for the source's target name.

#include <string>

#include "loop/chart_loop.h"

struct TLoopSource {
  std::string title;
  std::string target;  // the schedule line's file name, date codes unexpanded
};

// programFolder ends in "/" and holds saved.txt; frames: how many of the newest saves.
TChartLoop MakeSourceLoop(const std::string& programFolder, const TLoopSource& source, int frames,
                          int delayCentiseconds);
