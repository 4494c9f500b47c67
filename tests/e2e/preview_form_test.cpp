#include "schedule/preview_form.h"

#include <gtest/gtest.h>
#include <png.h>

#include "gui/application.h"
#include "schedule/list_files.h"
#include "schedule/schedule_form.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
#include "tests/support/png_peer.h"
#include "tests/support/temp_dir.h"
#include "ui_preview_form.h"
#include "ui_schedule_form.h"

namespace {

std::string Radar() {
  PeerGif gif{20, 10, 4, {}};
  PeerFrame frame;
  frame.Width = 20;
  frame.Height = 10;
  for (int i = 0; i < 200; ++i) frame.Pixels.push_back(i % 4);
  gif.Frames.push_back(frame);
  const std::vector<uint8_t> bytes = WriteGiflibGif(gif);
  return {bytes.begin(), bytes.end()};
}

class PreviewFormTest : public ::testing::Test {
 protected:
  PreviewFormTest() { server_.Serve("/maps/radar.gif", Radar()); }
  ~PreviewFormTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  std::string Label() { return form_.Form().Label1->text().toStdString(); }
  // Runs the action when the document starts to arrive, in the middle of the download.
  void DuringDownload(std::function<void()> action) {
    form_.HTTP().OnDocBegin = [action](THttpCli*) { action(); };
  }

  TempDir dir_;
  THttpFileServer server_;
  TPreviewForm form_{dir_.Path()};
};

TEST_F(PreviewFormTest, FetchesIntoTheProgramFolderAndShowsTheImageAtTheTopLeft) {
  EXPECT_EQ(form_.windowTitle().toStdString(), "Preview");
  EXPECT_EQ(Label(), "Idle");
  std::string during;
  DuringDownload([&] { during = Label(); });
  form_.FetchAndShow(server_.Url("/maps/radar.gif"));
  EXPECT_EQ(during, "Downloading " + dir_.File("radar.gif") + ".....");
  EXPECT_EQ(Label(), "Done");
  EXPECT_EQ(form_.Picture().Width(), 20);
  EXPECT_EQ(form_.Picture().Height(), 10);
  EXPECT_EQ(form_.Form().Image1->geometry(), QRect(4, 4, 20, 10));
  EXPECT_EQ(ReadWholeFile(dir_.File("radar.gif")), Radar());
}

TEST_F(PreviewFormTest, UrlIsTakenAsTypedSoATrailingSpaceEndsTheLocalName) {
  form_.FetchAndShow(server_.Url("/maps/radar.gif "));
  EXPECT_TRUE(FileExists(dir_.File("radar.gif ")));
  EXPECT_EQ(form_.Picture().Width(), 20);  // ".gif " is no image extension: the bytes decide
  EXPECT_EQ(Label(), "Done");
}

TEST_F(PreviewFormTest, ClosingDuringADownloadHidesTheWindowAndTheImageStillComes) {
  form_.Preview(server_.Url("/maps/radar.gif"));
  ASSERT_TRUE(form_.isVisible());
  DuringDownload([&] { form_.OkButtonClick(); });
  form_.FetchAndShow(server_.Url("/maps/radar.gif"));
  EXPECT_FALSE(form_.isVisible());
  EXPECT_EQ(Label(), "Done");
  EXPECT_EQ(form_.Picture().Width(), 20);
}

TEST_F(PreviewFormTest, PngIsShownInItsColoursOverWhite) {
  // Two pixels of grey + alpha: black opaque, black fully clear.
  const std::vector<uint8_t> png =
      WriteLibpngPng({2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {0, 255, 0, 0}, {}, {}, {}});
  server_.Serve("/maps/mask.PNG", std::string(png.begin(), png.end()));
  form_.FetchAndShow(server_.Url("/maps/mask.PNG"));
  EXPECT_EQ(form_.Picture().Width(), 2);
  EXPECT_EQ(form_.Form().Image1->geometry(), QRect(4, 4, 2, 1));
  const QImage shown = form_.Form().Image1->pixmap().toImage();
  EXPECT_EQ(shown.pixelColor(0, 0), QColor(0, 0, 0));
  EXPECT_EQ(shown.pixelColor(1, 0), QColor(255, 255, 255));
}

TEST_F(PreviewFormTest, UndecodableDownloadRaisesAndKeepsTheDownloadingText) {
  form_.FetchAndShow(server_.Url("/maps/radar.gif"));
  EXPECT_THROW(form_.FetchAndShow(server_.Url("/maps/gone.gif")), std::exception);
  EXPECT_EQ(Label(), "Downloading " + dir_.File("gone.gif") + ".....");
  EXPECT_EQ(form_.Picture().Width(), 20);  // the previous image stays
}

TEST_F(PreviewFormTest, EditorsPreviewButtonsAreDisabledWhileTheDownloadRuns) {
  SaveListFiles(
      dir_.Path(), {ScheduleEvent{{"1200", "n", "Radar", server_.Url("/maps/radar.gif"), "y", ""}}},
      {ResourceEntry{{"Region", "Type", "Scale", "Hours", "Source", "Name", "N", "URL"}}});
  TScheduleForm editor(dir_.Path());
  editor.SetPreviewer([&](const std::string& url) { form_.Preview(url); });
  editor.show();
  editor.Form().StringGrid1->SetRow(1);
  bool disabledDuring = false;
  DuringDownload([&] {
    disabledDuring = !editor.Form().SchedulePreviewButton->isEnabled() &&
                     !editor.Form().ResourcePreviewButton->isEnabled();
  });
  editor.SchedulePreviewButtonClick();
  EXPECT_TRUE(disabledDuring);
  EXPECT_TRUE(editor.Form().SchedulePreviewButton->isEnabled());
  EXPECT_EQ(form_.Picture().Width(), 20);
  EXPECT_TRUE(editor.ReloadGuard());
}

}  // namespace
