// Pictures of the windows for the README, taken offscreen with QWidget::grab: the main
// window while one of its sources fails, and the schedule editor with the demo's lists.
// Usage: isoview_screenshots FOLDER (scripts/screenshots runs it).

#include <stdlib.h>

#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "app/main_form.h"
#include "fetch/program_formats.h"
#include "gui/application.h"
#include "gui/qt_message_pump.h"
#include "runtime/text_file.h"
#include "schedule/list_files.h"
#include "schedule/schedule_form.h"
#include "tests/support/fake_clock.h"
#include "tests/support/http_file_server.h"
#include "tests/support/temp_dir.h"

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
  TMainForm form(TMainFormEnvironment{&clock, &zone, station.Path()});
  form.ClockTimer().stop();
  form.SlowClockTimer().stop();
  form.resize(900, 470);
  form.show();
  form.ClockTimerTimer();
  form.SlowClockTimerTimer();
  clock.AdvanceMilliseconds(1000);
  form.ClockTimerTimer();
  const bool saved = Save(form, folder + "/main-window.png");
  TApplication::Instance().ErrorDisplay().Dismiss();
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: isoview_screenshots FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  QApplication::setApplicationName("Isoview");
  const TProgramFormats formats;
  TQtMessagePump messagePump;
  THttpFileServer server;
  server.Serve("/charts/surface.gif", DemoImage("chart.gif"), 200, "image/gif");
  server.Serve("/charts/satellite.jpg", DemoImage("photo.jpg"), 200, "image/jpeg");
  const bool main = MainWindowWithAFailingSource(argv[1], server);
  const bool editor = ScheduleEditor(argv[1], server);
  return main && editor ? 0 : 1;
}
