#include "loop/source_loop.h"

#include <fstream>
#include <iterator>

#include "archive/source_saves.h"

namespace {

// A list that cannot be read lists nothing.
std::string ReadSavedList(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

TChartLoop MakeSourceLoop(const std::string& programFolder, const TLoopSource& source, int frames,
                          int delayCentiseconds) {
  const std::vector<TSavedFile> saves =
      LatestSaves(ParseSavedList(ReadSavedList(programFolder + kSavedListFileName)));
  std::vector<std::string> paths;
  for (const TSavedFile& save :
       NewestSavesOf(saves, source.target, programFolder, static_cast<size_t>(frames)))
    paths.push_back(save.path);
  return MakeChartLoop(paths, delayCentiseconds);
}
