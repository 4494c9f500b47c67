// The running program, offscreen, with its web page switched on by --web: Debian's
// Chromium loads the page headless, its DOM holds the sources table with both schedule
// lines and a thumbnail of the save, the archive page shows the save too, the first line's
// loop is a GIF, and the page's screenshot is a picture of the whole window.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <ctime>
#include <thread>

#include "runtime/text_file.h"
#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"
#include "tests/support/server_process.h"
#include "tests/support/shell_command.h"

namespace {

// "HHMM" of the UTC minute that is minutesAhead from now.
std::string UtcMinute(int minutesAhead) {
  const std::time_t now = std::time(nullptr) + minutesAhead * 60;
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[8];
  std::strftime(text, sizeof text, "%H%M", &utc);
  return text;
}

// Width and height from a PNG's header; zeros when it is no PNG.
std::pair<int, int> PngSize(const std::string& png) {
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
  const auto number = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) |
           (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  return {number(16), number(20)};
}

std::string Chromium(const TempDir& dir, const std::string& arguments, const std::string& url) {
  return RunCommand(
             "chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
             "--user-data-dir='" +
             dir.File("chromium") + "' " + arguments + " '" + url + "' 2>/dev/null")
      .output;
}

}  // namespace

TEST(WebPageInChromium, TheRunningProgramsPageLoadsWithItsSourcesAndThumbnails) {
  TempDir dir;
  THttpFileServer charts;
  charts.Serve("/good.gif", PeerGifBytes(60, 40));
  // Due this minute and the next, so that a minute that turns meanwhile loses nothing.
  Texts schedule;
  for (int ahead : {0, 1}) {
    schedule.push_back(
        StationLine(UtcMinute(ahead), charts.Url("/good.gif"), dir.File("good.gif"), "Good"));
    schedule.push_back(
        StationLine(UtcMinute(ahead), charts.Url("/dead.gif"), dir.File("dead.gif"), "Dead"));
  }
  WriteTextFile(dir.File("schedule.txt"), schedule);
  WriteTextFile(dir.File("jpegcomp.txt"), {"80"});
  const uint16_t port = FreeLoopbackPort();
  const std::string page = "http://127.0.0.1:" + std::to_string(port) + "/";
  TServerProcess program(SIGTERM);
  ASSERT_TRUE(
      program.Start({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", ISOVIEW_BINARY_DIR "/bin/isoview",
                     "--folder", dir.Path(), "--web", "127.0.0.1:" + std::to_string(port)},
                    port));
  // The program fetches at its own pace: the page is read once the save is in saved.txt.
  for (int i = 0; i < 300 && !FileExists(dir.File("good.gif")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(FileExists(dir.File("good.gif")));

  const std::string dom = Chromium(dir, "--dump-dom", page);
  for (const char* part : {"<table id=\"sources\">", "<td>Good</td><td>ok</td>",
                           "<td>Dead</td><td>retrying</td>", "<img src=\"/thumb/", "404 Not Found"})
    EXPECT_NE(dom.find(part), std::string::npos) << part << "\n" << dom;

  const std::string archive = Chromium(dir, "--dump-dom", page + "archive");
  for (const char* part : {"pictures, newest first)</p>", "<figcaption>", "<img src=\"/thumb/"})
    EXPECT_NE(archive.find(part), std::string::npos) << part << "\n" << archive;
  const std::string loop = dir.File("loop.gif");
  RunCommand("curl -s -o '" + loop + "' " + page + "loop/1.gif");
  EXPECT_EQ(ReadWholeFile(loop).substr(0, 6), "GIF89a");

  const std::string screenshot = dir.File("page.png");
  Chromium(dir, "--window-size=1200,800 --screenshot='" + screenshot + "'", page);
  ASSERT_TRUE(FileExists(screenshot));
  EXPECT_EQ(PngSize(ReadWholeFile(screenshot)), std::make_pair(1200, 800));
}
