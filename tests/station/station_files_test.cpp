// What the station writes and what it never touches: a chart replaces nothing before it
// decoded whole, downloads keep out of the program's own files, relative targets belong to
// the program folder, a full disk prunes the archive at once, each chart is drawn on a
// fresh white picture, and what a killed run left half-written goes at the next start.

#include <unistd.h>

#include <cerrno>

#include "archive/saved_list.h"
#include "chart/chart_picture.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "runtime/atomic_file.h"
#include "runtime/file_write.h"
#include "tests/http/scripted_http_server.h"
#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"

namespace {

// Writes into files whose name starts with prefix fail as on a full disk.
TScopedFileWriter FullDiskFor(const std::string& prefix) {
  return TScopedFileWriter([prefix](const std::string& name, int fd, const void* data, size_t n) {
    if (name.starts_with(prefix)) {
      errno = ENOSPC;
      return ssize_t{-1};
    }
    return ::write(fd, data, n);
  });
}

class StationFilesTest : public StationTest {
 protected:
  THttpFileServer server_;
};

}  // namespace

TEST_F(StationFilesTest, AFullDiskPrunesAtOnceAndTheRetrySavesAndListsThePicture) {
  server_.Serve("/chart.gif", PeerGifBytes(4, 2));
  WriteWholeFile(dir_.File("archive.txt"), "keep-days 7\n");
  const std::string old = dir_.File("old.gif");
  WriteWholeFile(old, "an old picture");
  // Listed ten days ago and not changed since: the file's time is the real one, so the
  // clock is put at it.
  clock_.Set(EncodeDateTime({2100, 1, 1}));
  ASSERT_TRUE(RecordSave(dir_.File("saved.txt"), {EncodeDateTime({2100, 1, 1}), old}));
  clock_.Set(EncodeDateTime({2100, 1, 11}));
  const std::string target = dir_.File("new.gif");
  {
    const TScopedFileWriter full = FullDiskFor(target);
    Start({StationLine("0000", server_.Url("/chart.gif"), target)});
    Settle();
  }
  ASSERT_EQ(report_->errors.size(), 1u);
  EXPECT_EQ(report_->errors[0].message, "Chart (" + server_.Url("/chart.gif") + "): Cannot write " +
                                            target + ": No space left on device");
  EXPECT_EQ(report_->errors[0].kind, fkDisk);
  EXPECT_EQ(report_->errors[0].errorNumber, ENOSPC);
  EXPECT_FALSE(FileExists(old)) << "pruned at once";
  EXPECT_FALSE(FileExists(target));

  AfterSeconds(2);
  Settle();
  EXPECT_TRUE(FileExists(target));
  EXPECT_EQ(server_.Requests("/chart.gif"), 1) << "the retry only saves";
  EXPECT_EQ(ReadWholeFile(dir_.File("saved.txt")),
            SavedListLine({EncodeDateTime({2100, 1, 11}), target}));
}

// A URL whose last segment is one of the program's own file names downloads into the
// downloads folder; the program's file stays as it was. A target name without a folder is
// saved in the program folder, wherever the program was started from.
TEST_F(StationFilesTest, DownloadsKeepOutOfTheProgramsFilesAndRelativeTargetsGoToItsFolder) {
  const Texts ownFiles{"schedule.txt", "isoview.log", "saved.txt",   "jpegcomp.txt",
                       "isoview.ini",  "sources.txt", "resource.txt"};
  Texts schedule;
  for (size_t i = 0; i < ownFiles.size(); ++i) {
    server_.Serve("/lists/" + ownFiles[i], PeerGifBytes(4, 2));
    schedule.push_back(StationLine("1015", server_.Url("/lists/" + ownFiles[i]),
                                   "rel-@H@N-" + std::to_string(i) + ".bmp"));
  }
  WriteWholeFile(dir_.File("isoview.ini"), "[station]\n");
  WriteWholeFile(dir_.File("resource.txt"), "titles\n");
  Start(schedule);
  const std::string scheduleText = ReadWholeFile(dir_.File("schedule.txt"));
  Settle();
  EXPECT_EQ(ReadWholeFile(dir_.File("schedule.txt")), scheduleText);
  EXPECT_EQ(ReadWholeFile(dir_.File("jpegcomp.txt")), "80\r\n");
  EXPECT_EQ(ReadWholeFile(dir_.File("isoview.ini")), "[station]\n");
  EXPECT_EQ(ReadWholeFile(dir_.File("resource.txt")), "titles\n");
  EXPECT_NE(Log().find("Isoview started"), std::string::npos);
  for (size_t i = 0; i < ownFiles.size(); ++i) {
    EXPECT_EQ(ReadWholeFile(dir_.File("downloads/" + ownFiles[i])), PeerGifBytes(4, 2));
    const std::string saved = dir_.File("rel-1015-" + std::to_string(i) + ".bmp");
    EXPECT_TRUE(FileExists(saved)) << saved;
    EXPECT_NE(Log().find("UTC Saved " + saved + "\n"), std::string::npos) << Log();
  }
  EXPECT_TRUE(report_->errors.empty()) << report_->errors[0].message;
}

struct TBadDownload {
  const char* what;
  std::string body;
  std::string type;
  std::string cause;  // after "Chart (URL): "
};

// A 200 reply that is no whole picture fails the line like a short transfer: the last
// good download and the saved charts stay, and nothing is shown or printed.
TEST_F(StationFilesTest, AReplyThatIsNoWholePictureReplacesNothing) {
  const std::string good = PeerGifBytes(40, 30);
  const std::vector<TBadDownload> cases{
      {"a maintenance page", "<html>down for maintenance</html>", "text/html",
       "the download is not an image (text/html)"},
      {"a GIF cut short", good.substr(0, good.size() / 2), "image/gif",
       "the picture is cut or damaged"},
  };
  // Three sources whose files have one name, each due a minute after the other.
  server_.Serve("/good/chart.gif", good, 200, "image/gif");
  Texts schedule{StationLine("1015", server_.Url("/good/chart.gif"), "chart.gif")};
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string path = "/bad" + std::to_string(i) + "/chart.gif";
    server_.Serve(path, cases[i].body, 200, cases[i].type);
    schedule.push_back(StationLine("101" + std::to_string(6 + i), server_.Url(path), "chart.gif"));
  }
  Start(schedule);
  Settle();
  ASSERT_EQ(report_->saves.size(), 1u);
  const std::string saved = ReadWholeFile(dir_.File("chart.gif"));
  for (size_t i = 0; i < cases.size(); ++i) {
    const TBadDownload& bad = cases[i];
    clock_.AdvanceMinutes(1);
    Tick();
    Settle();
    ASSERT_EQ(report_->errors.size(), i + 1) << bad.what;
    EXPECT_EQ(
        report_->errors.back().message,
        "Chart (" + server_.Url("/bad" + std::to_string(i) + "/chart.gif") + "): " + bad.cause)
        << bad.what;
    EXPECT_EQ(report_->errors.back().kind, fkContent) << bad.what;
    EXPECT_EQ(ReadWholeFile(dir_.File("downloads/chart.gif")), good) << bad.what;
    EXPECT_EQ(ReadWholeFile(dir_.File("chart.gif")), saved) << bad.what;
    EXPECT_EQ(report_->charts.size(), 1u) << bad.what;
  }
  EXPECT_EQ(report_->saves.size(), 1u);
}

// A JPEG, then a GIF of the same size whose every other pixel is transparent: the GIF's
// transparent pixels are white in its picture and its save, not the JPEG's red.
TEST_F(StationFilesTest, EachChartIsDrawnOnAFreshWhitePicture) {
  TBitmap red;
  red.SetSize(8, 4);
  red.Canvas().FillRect({0, 0, 8, 4}, {255, 0, 0});
  TJPEGImage jpeg;
  jpeg.Assign(red);
  TMemoryStream jpegBytes;
  jpeg.SaveToStream(jpegBytes);
  server_.Serve("/red.jpg", {jpegBytes.Bytes().begin(), jpegBytes.Bytes().end()});
  server_.Serve("/holes.gif", PeerGifBytes(8, 4, 0));  // index 0: every fourth pixel
  Start({StationLine("1015", server_.Url("/red.jpg"), "red.bmp"),
         StationLine("1016", server_.Url("/holes.gif"), "holes.bmp")});
  Settle();
  clock_.AdvanceMinutes(1);
  Tick();
  Settle();
  ASSERT_EQ(report_->charts.size(), 2u);
  TBitmap shown(*report_->charts[1]);
  TBitmap saved;
  saved.LoadFromFile(dir_.File("holes.bmp"));
  for (TBitmap* picture : {&shown, &saved})
    for (int x = 0; x < 8; x += 4) EXPECT_EQ(picture->Canvas().Pixel(x, 0), clWhite) << x;
  EXPECT_NE(TBitmap(*report_->charts[0]).Canvas().Pixel(0, 0), clWhite) << "the JPEG is red";
}

// What a killed run left half-written goes at the next start, in every folder the
// schedule saves into, the downloads folder included; other files stay.
TEST_F(StationFilesTest, TheStartRemovesDeadTemporariesOfEveryFolderTheScheduleSavesInto) {
  TempDir charts;
  ::mkdir(dir_.File("downloads").c_str(), 0777);
  // A writer whose process is gone: no process has this id (above the kernel's limit).
  const std::string dead = ".isoview-99999999-0123456789abcdef.tmp";
  const Texts leftovers{charts.File("fax.gif" + dead), dir_.File("downloads/fax.gif" + dead)};
  for (const std::string& name : leftovers) WriteWholeFile(name, "half");
  const std::string alive = TemporaryNameBeside(charts.File("fax.gif"));  // this process
  WriteWholeFile(alive, "being written");
  WriteWholeFile(charts.File("keep.gif"), "a chart");
  Start({StationLine("2300", "http://127.0.0.1:9/fax.gif", charts.File("fax-@H@N.gif"))});
  for (const std::string& name : leftovers) EXPECT_FALSE(FileExists(name)) << name;
  EXPECT_TRUE(FileExists(alive));
  EXPECT_TRUE(FileExists(charts.File("keep.gif")));
  EXPECT_NE(Log().find("Removed 2 temporary files of ended runs"), std::string::npos) << Log();
}

// A stop in the middle of a download (a service's SIGTERM) leaves no half-downloaded file
// for the next start to find.
TEST_F(StationFilesTest, AStopDuringADownloadLeavesNoTemporaryBehind) {
  constexpr size_t kSent = 300000;
  TScriptedHttpServer stalling(
      {{HttpReply("200 OK", {"Content-Length: 1000000"}, std::string(kSent, 'x')), false}});
  Start({StationLine("1015", stalling.URL("/fax.gif"), dir_.File("fax.gif"))});
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] {
    return !report_->progresses.empty() && report_->progresses.back().received == int64_t(kSent);
  }));
  ASSERT_EQ(FileNamesIn(dir_.File("downloads")).size(), 1u) << "the download is being written";
  station_->Stop("Isoview stopped by SIGTERM");
  station_.reset();
  EXPECT_EQ(FileNamesIn(dir_.File("downloads")), Texts{});
}
