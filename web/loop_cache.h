#pragma once
// The loops the page has made, each kept until the saves behind it change: asking again
// costs a read of saved.txt, not the decoding of every frame. The loops are made on the
// page's own thread, never the station's, and at most once per new save of a source, so
// that no client, however often it asks, makes the station wait for a processor.

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/saved_list.h"
#include "loop/chart_loop.h"

class TLoopCache {
 public:
  // programFolder ends in "/"; frames: how many of a source's newest saves make its loop.
  TLoopCache(std::string programFolder, int frames, int delayCentiseconds);

  // The loop of the saves that the target name (a schedule line's file name) made, as
  // savedListBytes lists them. Only listed plain files are read; a save replaced by a
  // link or anything else is left out.
  std::shared_ptr<const TChartLoop> Loop(const std::string& target,
                                         std::string_view savedListBytes);

 private:
  struct TEntry {
    std::string target;
    std::vector<TSavedFile> saves;
    std::shared_ptr<const TChartLoop> loop;
  };

  std::vector<TSavedFile> LoopSaves(const std::string& target,
                                    std::string_view savedListBytes) const;

  std::string programFolder_;
  int frames_;
  int delayCentiseconds_;
  std::deque<TEntry> entries_;  // the one asked for last first
};
