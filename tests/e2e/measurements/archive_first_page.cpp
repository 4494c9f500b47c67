// How long the archive window takes to show its first page when saved.txt lists 5,000
// saves, and how long the page's 48 thumbnails take to come in behind it. The saves are
// hard links to the demo's images in a temporary folder; the window runs offscreen.
// A measurement to report, not a test: it prints the times and passes or fails nothing.
// Usage: isoview_archive_first_page [SAVES]

#include <stdlib.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/archive_form.h"
#include "app/qt_archive_tile.h"
#include "app/qt_printer.h"
#include "archive/saved_list.h"
#include "program/program_formats.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultSaves = 5000;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One save a minute, each its own file, as a station saving around the clock lists them.
void ListSaves(const TempDir& station, int count) {
  const char* demo[] = {"chart.gif", "photo.jpg"};
  std::string list;
  for (int i = 0; i < count; ++i) {
    const std::string name = demo[i % 2];
    const std::string path = station.File(std::to_string(i) + "-" + name);
    std::filesystem::create_hard_link(std::string(ISOVIEW_SOURCE_DIR) + "/demo/images/" + name,
                                      path);
    list += SavedListLine({IncMinutes(EncodeDateTime({2026, 12, 1}), i), path});
  }
  WriteWholeFile(station.File(kSavedListFileName), list);
}

bool Loading(const TArchiveForm& form) {
  for (const TQtArchiveTile* tile : form.Tiles())
    if (tile->State() == atLoading) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int saves = argc > 1 ? std::atoi(argv[1]) : kDefaultSaves;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  const TProgramFormats formats;
  TempDir station;
  ListSaves(station, saves);
  FakeClock clock;
  const FakeTimeZone zone;
  TQtPrinter printer(clock, zone);
  TArchiveForm form(station.Path(), printer);

  const Clock::time_point start = Clock::now();
  form.Open();
  // Shown means painted: grab renders the whole window as the screen would get it.
  form.grab();
  const double shown = MillisecondsSince(start);
  while (Loading(form)) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double loaded = MillisecondsSince(start);
  std::printf(
      "%d saves listed, %d pages: the first page of %zu shown and painted in %.1f ms; "
      "its thumbnails all in after %.1f ms\n",
      saves, form.PageCount(), form.Tiles().size(), shown, loaded);
  return 0;
}
