#pragma once
// A station in a temporary program folder with clocks the test sets, a report that writes
// down what it is told, and the loop pumped until the station has nothing in hand.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "program/program_formats.h"
#include "runtime/text_file.h"
#include "station/station.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

using Texts = std::vector<std::string>;

class TRecordingReport : public TStationReport {
 public:
  void ClockTicked(const TClockReport& clock) override { clocks.push_back(clock); }
  void StatusChanged(const std::string& text) override { statuses.push_back(text); }
  void QueueChanged(const TQueueReport& queue) override { lastQueue = queue; }
  void ProgressChanged(const TProgressReport& progress) override { progresses.push_back(progress); }
  void ChartReady(const std::shared_ptr<const TBitmap>& chart) override { charts.push_back(chart); }
  void Saved(const TSaveReport& save) override { saves.push_back(save); }
  void ErrorReported(const TErrorReport& error) override { errors.push_back(error); }
  void SourcesChanged(const std::vector<TSourceRow>& sources) override { rows = sources; }

  std::vector<TClockReport> clocks;
  Texts statuses;
  TQueueReport lastQueue;
  std::vector<TProgressReport> progresses;
  std::vector<std::shared_ptr<const TBitmap>> charts;
  std::vector<TSaveReport> saves;
  std::vector<TErrorReport> errors;
  std::vector<TSourceRow> rows;
};

class TMapSettings : public TSettingsSource {
 public:
  std::optional<std::string> Value(const std::string& key) const override {
    const auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }
  std::map<std::string, std::string> values;
};

// A schedule line due at HHMM for the URL, saved under filename.
std::string StationLine(const std::string& hhmm, const std::string& url,
                        const std::string& filename, const std::string& title = "Chart",
                        const std::string& print = "n");
// A small GIF written by giflib; with a transparent index, that colour shows nothing.
std::string PeerGifBytes(int width, int height, int transparentIndex = -1);

class StationTest : public ::testing::Test {
 protected:
  StationTest();
  ~StationTest() override;

  // Makes and starts the station on the schedule and ticks its clock once.
  void Start(const Texts& schedule);
  // Stops the station and starts a new one in the same folder, as a restart does.
  void Restart(const Texts& schedule);
  void Tick() { station_->Tick(); }
  // Pumps the loop until the station has nothing in hand (asserted).
  void Settle();
  // Moves the steady clock on and ticks.
  void AfterSeconds(int64_t seconds);
  std::string Log() const { return ReadWholeFile(dir_.File("isoview.log")); }
  size_t Count(const std::string& text) const;

  const TProgramFormats formats_;
  TempDir dir_;
  FakeClock clock_;
  FakeTimeZone zone_;
  FakeSteadyClock steady_;
  TMapSettings settings_;
  TProxyEnvironment proxies_;
  TStationPrinter* printer_ = nullptr;
  // The station's own clock timer; 0: the test ticks it.
  uint32_t tickIntervalMs_ = 0;
  std::vector<TStationReport*> listeners_;  // told beside the recording report
  std::unique_ptr<TRecordingReport> report_;
  std::unique_ptr<TStation> station_;
};
