// The fetch job's saves and the archive: each save is listed and followed by a pruning
// run, and a save that finds the disk full prunes at once for the job's retry.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "fetch/archive.h"
#include "fetch/event_log.h"
#include "fetch/fetch_job.h"
#include "fetch/program_formats.h"
#include "fetch/saved_list.h"
#include "http/http_cli.h"
#include "imaging/image_scroll_box.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "runtime/file_write.h"
#include "tests/support/fake_clock.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace {

std::string SmallGif() {
  PeerGif gif{4, 2, 2, {}};
  PeerFrame frame;
  frame.Width = 4;
  frame.Height = 2;
  frame.Pixels = {0, 1, 0, 1, 1, 0, 1, 0};
  gif.Frames.push_back(frame);
  const std::vector<uint8_t> bytes = WriteGiflibGif(gif);
  return {bytes.begin(), bytes.end()};
}

class TQuietWindow : public TFetchJobWindow {
 public:
  void ShowStatus(const std::string&) override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string&) override {}
  void PreviewChanged() override {}
  bool PrinterDisabled() override { return true; }
  void PrintPreview(const std::string&) override {}
  void FileSaved(const std::string&) override {}
};

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

}  // namespace

TEST(ArchivedSave, AFullDiskPrunesAtOnceAndTheRetrySavesAndListsThePicture) {
  const TProgramFormats formats;
  TempDir dir;
  THttpFileServer server;
  server.Serve("/chart.gif", SmallGif());
  FakeClock clock(EncodeDateTime({2026, 12, 8, 12, 0, 0}));
  const FakeTimeZone zone;
  const TEventLog log(dir.File("isoview.log"), clock, zone);
  TArchive archive(dir.Path(), log, clock, zone);
  THttpCli http;
  TFileDownload download(http);
  TPicture preview;
  TImageScrollBox viewer;
  TQuietWindow window;
  const TFetchJobContext context{window,     download, preview, viewer,  log,
                                 dir.Path(), clock,    zone,    &archive};
  WriteWholeFile(dir.File("archive.txt"), "keep-days 7\n");
  const std::string old = dir.File("old.gif");
  WriteWholeFile(old, "an old picture");
  // Listed ten days ago and not changed since: the file's time is the real one, so the
  // clock is put at it.
  clock.Set(EncodeDateTime({2100, 1, 1}));
  ASSERT_TRUE(RecordSave(dir.File("saved.txt"), {EncodeDateTime({2100, 1, 1}), old}));
  clock.Set(EncodeDateTime({2100, 1, 11}));

  const std::string target = dir.File("new.gif");
  const TFetchInputs inputs{"n", server.Url("/chart.gif"), "n", target, "Chart"};
  TJobProgress progress;
  {
    const TScopedFileWriter full = FullDiskFor(target);
    EXPECT_EQ(MessageRaised<Exception>([&] { RunFetchJob(context, inputs, progress); }),
              "Chart (" + inputs.URL + "): Cannot write " + target + ": No space left on device");
  }
  EXPECT_FALSE(FileExists(old)) << "pruned at once";
  EXPECT_FALSE(FileExists(target));
  EXPECT_EQ(ReadWholeFile(dir.File("saved.txt")), "");

  RunFetchJob(context, inputs, progress);
  EXPECT_TRUE(FileExists(target));
  EXPECT_EQ(server.Requests("/chart.gif"), 1) << "the retry only saves";
  EXPECT_EQ(ReadWholeFile(dir.File("saved.txt")),
            SavedListLine({EncodeDateTime({2100, 1, 11}), target}));
}
