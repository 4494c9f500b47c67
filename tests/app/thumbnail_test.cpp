#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/thumbnail_maker.h"
#include "app/thumbnail_worker.h"
#include "program/program_formats.h"
#include "tests/support/temp_dir.h"

namespace {

std::string DemoImage(const std::string& name) {
  return std::string(ISOVIEW_SOURCE_DIR) + "/demo/images/" + name;
}

}  // namespace

TEST(Thumbnail, SizeKeepsTheShapeWithinTheBoxAndNeverEnlarges) {
  struct Case {
    int width, height, maxWidth, maxHeight;
    TThumbnailSize size;
  };
  const std::vector<Case> cases = {
      {640, 480, 160, 120, {160, 120}}, {1600, 400, 160, 120, {160, 40}},
      {300, 900, 160, 120, {40, 120}},  {100, 50, 160, 120, {100, 50}},
      {5000, 1, 160, 120, {160, 1}},    {1, 5000, 160, 120, {1, 120}},
      {0, 480, 160, 120, {0, 0}},       {161, 121, 160, 120, {160, 120}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    EXPECT_EQ(ThumbnailSize(c.width, c.height, c.maxWidth, c.maxHeight), c.size);
  }
}

// The demo's GIF, JPEG and TIFF through the program's readers; a file that is no picture
// and a cut one raise instead of giving an empty or a partial thumbnail.
TEST(Thumbnail, MadeByTheProgramsReadersOrRaises) {
  const TProgramFormats formats;
  const std::vector<std::pair<std::string, TThumbnailSize>> pictures = {
      {"chart.gif", {160, 120}}, {"photo.jpg", {160, 120}}, {"map.tif", {160, 120}}};
  for (const auto& [name, size] : pictures) {
    SCOPED_TRACE(name);
    const TDib thumbnail = MakeThumbnail(DemoImage(name));
    EXPECT_EQ((TThumbnailSize{thumbnail.Width, thumbnail.Height}), size);
  }
  TempDir dir;
  const std::string jpeg = ReadWholeFile(DemoImage("photo.jpg"));
  WriteWholeFile(dir.File("cut.jpg"), jpeg.substr(0, jpeg.size() / 2));
  WriteWholeFile(dir.File("text.gif"), "no picture here");
  for (const char* name : {"cut.jpg", "text.gif", "missing.gif"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(MakeThumbnail(dir.File(name)), std::exception);
  }
}

// While the maker is held on its first file, the page is left for another: what waited
// for the old page is never made, the new page's pictures are, and a maker's error
// becomes that thumbnail's error without ending the worker.
TEST(ThumbnailWorker, ARequestReplacesWhatWaitsAndErrorsStayWithTheirThumbnail) {
  std::mutex mutex;
  std::condition_variable changed;
  bool released = false;
  bool holding = false;
  std::vector<std::string> made;
  std::vector<std::string> errors;
  const auto maker = [&](const std::string& fileName) {
    std::unique_lock lock(mutex);
    holding = true;
    changed.notify_all();
    changed.wait(lock, [&] { return released; });
    if (fileName == "/bad") throw std::runtime_error("cannot read /bad");
    TDib dib;
    dib.Width = dib.Height = 1;
    return dib;
  };
  const auto done = [&](TThumbnail thumbnail) {
    std::lock_guard lock(mutex);
    (thumbnail.error.empty() ? made : errors).push_back(thumbnail.save.path + thumbnail.error);
    changed.notify_all();
  };
  {
    TThumbnailWorker worker(maker, done);
    worker.Request({{{}, "/old1"}, {{}, "/old2"}, {{}, "/old3"}});
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return holding; });
    }
    worker.Request({{{}, "/new"}, {{}, "/bad"}});
    {
      std::unique_lock lock(mutex);
      released = true;
      changed.notify_all();
      changed.wait(lock, [&] { return made.size() + errors.size() == 3; });
    }
  }
  EXPECT_EQ(made, (std::vector<std::string>{"/old1", "/new"}));
  EXPECT_EQ(errors, (std::vector<std::string>{"/badcannot read /bad"}));
}
