// Pictures of the windows for the README, taken with QWidget::grab: the main
// window while one of its sources fails, the schedule editor with the demo's lists, the
// source check of a station whose charts answer in every way, and the archive after 20
// saves of the demo's images.
// Usage: isoview_screenshots FOLDER (scripts/screenshots runs it).

#include <stdlib.h>

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

#include "app/archive_form.h"
#include "app/main_form.h"
#include "app/qt_chart_view.h"
#include "app/qt_archive_tile.h"
#include "archive/archive.h"
#include "chart/preview_file.h"
#include "gui/application.h"
#include "gui/qt_message_pump.h"
#include "imaging/image_scroll_box.h"
#include "imaging/picture.h"
#include "program/event_log.h"
#include "program/program_formats.h"
#include "runtime/text_file.h"
#include "schedule/list_files.h"
#include "schedule/schedule_form.h"
#include "schedule/source_check_form.h"
#include "tests/http/scripted_http_server.h"
#include "tests/support/fake_clock.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"
#include "tests/support/temp_dir.h"
#include "ui_schedule_form.h"

namespace {

std::string DemoImage(const std::string& name) {
  return ReadWholeFile(std::string(ISOVIEW_SOURCE_DIR) + "/demo/images/" + name);
}

bool Save(QWidget& window, const std::string& fileName) {
  QApplication::processEvents();
  const bool saved = window.grab().save(QString::fromStdString(fileName), "PNG");
  std::printf("%s %s\n", saved ? "wrote" : "could not write", fileName.c_str());
  return saved;
}

// A station at 10:15 UTC: the surface chart is fetched and saved, the radar's server
// answers 404, the satellite picture is due at 11:00.
bool MainWindowWithAFailingSource(const std::string& folder, const THttpFileServer& server) {
  TempDir station;
  FakeClock clock(EncodeDateTime({2026, 12, 8, 10, 15, 5}));
  const FakeTimeZone zone;
  SaveListFiles(
      station.Path(),
      {ScheduleEvent{{"1015", "n", "Surface analysis", server.Url("/charts/surface.gif"), "n",
                      station.File("surface-@Y@M@D-@H@N.gif")}},
       ScheduleEvent{{"1015", "n", "Radar composite", server.Url("/charts/radar.gif"), "n",
                      station.File("radar-@Y@M@D-@H@N.gif")}},
       ScheduleEvent{{"1100", "n", "Satellite infrared", server.Url("/charts/satellite.jpg"), "n",
                      station.File("satellite-@Y@M@D-@H@N.jpg")}}},
      {});
  WriteTextFile(station.File("jpegcomp.txt"), {"75"});
  const FakeSteadyClock steady;
  TMainForm form(TMainFormEnvironment{&clock, &zone, station.Path(), {}, &steady, 0});
  form.resize(900, 600);
  form.show();
  form.Station().Tick();
  if (!PumpUntil(MessageLoop::Current(), [&form] { return form.Station().Settled(); }))
    return false;
  clock.AdvanceMilliseconds(1000);
  form.Station().Tick();
  form.ChartView().Fit();
  const bool saved = Save(form, folder + "/main-window.png");
  TApplication::Instance().ErrorDisplay().Dismiss();
  return saved;
}

// The main window and the dialog open over it, as one picture: each window drawn where it
// stands.
QImage WindowWithDialog(QWidget& window, QWidget& dialog) {
  QImage picture = window.grab().toImage();
  QPainter painter(&picture);
  painter.drawPixmap(dialog.geometry().topLeft() - window.geometry().topLeft(), dialog.grab());
  return picture;
}

// A station at 10:15 UTC with its About box open: the surface chart was saved behind the
// box, and the radar composite is arriving, 45 % of it so far.
bool MainWindowWithADialogOpen(const std::string& folder, const THttpFileServer& server) {
  const std::string radar = DemoImage("chart.gif");
  const TScriptedHttpServer trickle(
      {{HttpReply("200 OK",
                  {"Content-Type: image/gif", "Content-Length: " + std::to_string(radar.size())},
                  radar.substr(0, radar.size() * 45 / 100)),
        false}});
  TempDir station;
  FakeClock clock(EncodeDateTime({2026, 12, 8, 10, 15, 5}));
  const FakeTimeZone zone;
  const FakeSteadyClock steady;
  SaveListFiles(
      station.Path(),
      {ScheduleEvent{{"1015", "n", "Surface analysis", server.Url("/charts/surface.gif"), "n",
                      station.File("surface-@Y@M@D-@H@N.gif")}},
       ScheduleEvent{{"1015", "n", "Radar composite", trickle.URL("/charts/radar.gif"), "n",
                      station.File("radar-@Y@M@D-@H@N.gif")}},
       ScheduleEvent{{"1100", "n", "Satellite infrared", server.Url("/charts/satellite.jpg"), "n",
                      station.File("satellite-@Y@M@D-@H@N.jpg")}}},
      {});
  TMainForm form(TMainFormEnvironment{&clock, &zone, station.Path(), {}, &steady, 0});
  form.resize(900, 470);
  form.show();
  bool saved = false;
  QTimer::singleShot(0, [&] {
    form.Station().Tick();
    const QLabel* progress = form.statusBar()->findChild<QLabel*>("DownloadProgress");
    const bool arriving = PumpUntil(MessageLoop::Current(), [&] {
      return FileExists(station.File("surface-261208-1015.gif")) && progress->text().contains('%');
    });
    QWidget* about = QApplication::activeModalWidget();
    if (arriving && about) {
      QApplication::processEvents();
      const std::string name = folder + "/main-window-dialog.png";
      saved = WindowWithDialog(form, *about).save(QString::fromStdString(name), "PNG");
      std::printf("%s %s\n", saved ? "wrote" : "could not write", name.c_str());
    }
    if (about) about->close();
  });
  form.About1Click();
  return saved;
}

bool ScheduleEditor(const std::string& folder, const THttpFileServer& server) {
  TempDir station;
  SaveListFiles(
      station.Path(),
      {ScheduleEvent{{"0000", "n", "Surface analysis", server.Url("/charts/surface.gif"), "y",
                      "surface-@Y@M@D-@H@N.gif"}},
       ScheduleEvent{{"0600", "y", "Radar composite", server.Url("/charts/radar.gif"), "y",
                      "radar-@Y@M@D-@H@N.bmp"}},
       ScheduleEvent{{"1100", "n", "Satellite infrared", server.Url("/charts/satellite.jpg"), "n",
                      "satellite-@Y@M@D-@H@N.jpg"}}},
      {ResourceEntry{{"Region", "Type", "Scale", "Hours", "Source", "Name", "N", "URL"}},
       ResourceEntry{{"Europe", "Sfc", "1:20M", "6h", "Met", "Surface analysis", "n",
                      server.Url("/charts/surface.gif")}},
       ResourceEntry{{"Europe", "Radar", "1:5M", "15m", "Met", "Radar composite", "y",
                      server.Url("/charts/radar.gif")}}});
  TScheduleForm editor(station.Path());
  editor.show();
  return Save(editor, folder + "/schedule-editor.png");
}

// A URL of a loopback port that nobody listens on.
std::string RefusingUrl(const std::string& path) {
  std::string url;
  {
    const THttpFileServer gone;
    url = gone.Url(path);
  }
  return url;
}

// The surface chart is there, the radar moved for good, the ice chart is gone and the wave
// chart's server refuses.
bool SourceCheck(const std::string& folder, const THttpFileServer& server) {
  TempDir station;
  const std::string waves = RefusingUrl("/charts/waves.gif");
  SaveListFiles(
      station.Path(),
      {ScheduleEvent{{"0000", "n", "Surface analysis", server.Url("/charts/surface.gif"), "y",
                      "surface-@Y@M@D-@H@N.gif"}},
       ScheduleEvent{{"0600", "y", "Radar composite", server.Url("/radar/latest.gif"), "y",
                      "radar-@Y@M@D-@H@N.bmp"}},
       ScheduleEvent{{"1100", "n", "Satellite infrared", server.Url("/charts/satellite.jpg"), "n",
                      "satellite-@Y@M@D-@H@N.jpg"}}},
      {ResourceEntry{{"Region", "Type", "Scale", "Hours", "Source", "Name", "N", "URL"}},
       ResourceEntry{
           {"Arctic", "Ice", "1:10M", "24h", "Met", "Sea ice", "n", server.Url("/charts/ice.gif")}},
       ResourceEntry{{"Europe", "Waves", "1:20M", "12h", "Met", "Wave height", "n", waves}}});
  TScheduleForm editor(station.Path());
  editor.show();
  editor.Form().CheckSourcesButton->click();
  TSourceCheckForm& check = editor.SourceCheckForm();
  if (!PumpUntil(MessageLoop::Current(), [&check] { return !check.Running(); })) return false;
  return Save(check, folder + "/source-check.png");
}

// The demo's three images saved in turn every three hours from 2026-12-07 03:00 UTC, in the
// formats the schedule can choose, each listed as the fetch job lists its saves; the
// operator has deleted one of them by hand since.
void SaveDemoImages(const TempDir& station, FakeClock& clock, const FakeTimeZone& zone) {
  const TEventLog log(station.File("isoview.log"), clock, zone);
  TArchive archive(station.Path(), log, clock, zone);
  const std::vector<std::pair<std::string, std::string>> images = {
      {"chart.gif", ".gif"}, {"photo.jpg", ".jpg"}, {"map.tif", ".bmp"}};
  constexpr int kSaves = 20;
  constexpr int kHoursApart = 3;
  clock.Set({2026, 12, 7, 3, 0, 0});
  for (int i = 0; i < kSaves; ++i) {
    const auto& [name, extension] = images[i % images.size()];
    TPicture picture;
    TImageScrollBox viewer;
    DisplayDownloadedFile(std::string(ISOVIEW_SOURCE_DIR) + "/demo/images/" + name, viewer,
                          picture.Bitmap());
    const std::string saved =
        station.File(name.substr(0, name.find('.')) + "-" + std::to_string(i) + extension);
    SavePreviewFile(picture, saved, [] { return 75; });
    archive.Record(saved);
    clock.AdvanceMinutes(kHoursApart * 60);
  }
  std::remove(station.File("photo-16.jpg").c_str());
}

bool ArchiveWindow(const std::string& folder) {
  TempDir station;
  FakeClock clock;
  const FakeTimeZone zone;
  SaveDemoImages(station, clock, zone);
  TQtPrinter printer(clock, zone);
  TArchiveForm archive(station.Path(), printer);
  archive.resize(1150, 1100);
  archive.Open();
  const auto loading = [&] {
    for (const TQtArchiveTile* tile : archive.Tiles())
      if (tile->State() == atLoading) return true;
    return false;
  };
  while (loading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return Save(archive, folder + "/archive.png");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: isoview_screenshots FOLDER\n");
    return 2;
  }
  // Offscreen unless told otherwise (scripts/screenshots draws on an X server).
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  QApplication::setApplicationName("Isoview");
  const TProgramFormats formats;
  TQtMessagePump messagePump;
  THttpFileServer server;
  server.Serve("/charts/surface.gif", DemoImage("chart.gif"), 200, "image/gif");
  server.Serve("/charts/satellite.jpg", DemoImage("photo.jpg"), 200, "image/jpeg");
  server.AddHeader("/charts/surface.gif", "Last-Modified: Tue, 08 Dec 2026 06:12:40 GMT");
  server.AddHeader("/charts/satellite.jpg", "Last-Modified: Tue, 08 Dec 2026 10:45:02 GMT");
  server.Redirect("/radar/latest.gif", server.Url("/radar/composite.gif"));
  server.Serve("/radar/composite.gif", DemoImage("chart.gif"), 200, "image/gif");
  server.AddHeader("/radar/composite.gif", "Last-Modified: Tue, 08 Dec 2026 10:15:00 GMT");
  const bool main =
      MainWindowWithAFailingSource(argv[1], server) && MainWindowWithADialogOpen(argv[1], server);
  const bool editor = ScheduleEditor(argv[1], server);
  const bool check = SourceCheck(argv[1], server);
  const bool archive = ArchiveWindow(argv[1]);
  return main && editor && check && archive ? 0 : 1;
}
