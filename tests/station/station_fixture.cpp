#include "tests/station/station_fixture.h"

#include "runtime/text_file.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/pump.h"

std::string StationLine(const std::string& hhmm, const std::string& url,
                        const std::string& filename, const std::string& title,
                        const std::string& print) {
  // The columns of schedule.txt: time, negative flag, title, URL, print flag, target.
  std::string line = hhmm + " n " + title;
  line.resize(59, ' ');
  line += url;
  line.resize(199, ' ');
  line += print + " " + filename;
  return line;
}

std::string PeerGifBytes(int width, int height, int transparentIndex) {
  PeerGif gif{width, height, 4, {}};
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.TransparentIndex = transparentIndex;
  for (int i = 0; i < width * height; ++i) frame.Pixels.push_back(static_cast<uint8_t>(i % 4));
  gif.Frames.push_back(frame);
  const std::vector<uint8_t> bytes = WriteGiflibGif(gif);
  return {bytes.begin(), bytes.end()};
}

StationTest::StationTest() {
  clock_.Set({2026, 12, 8, 10, 15, 5});
  WriteTextFile(dir_.File("jpegcomp.txt"), {"80"});
}

StationTest::~StationTest() = default;

void StationTest::Start(const Texts& schedule) {
  WriteTextFile(dir_.File("schedule.txt"), schedule);
  report_ = std::make_unique<TRecordingReport>();
  station_ = std::make_unique<TStation>(
      TStationEnvironment{dir_.Path(), &clock_, &zone_, &steady_, proxies_, &settings_,
                          tickIntervalMs_},
      *report_);
  station_->SetPrinter(printer_);
  for (TStationReport* listener : listeners_) station_->AddReport(*listener);
  station_->Start();
  station_->Tick();
}

void StationTest::Restart(const Texts& schedule) {
  station_->Stop("Isoview stopped for a restart");
  station_.reset();
  Start(schedule);
}

void StationTest::Settle() {
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [this] { return station_->Settled(); }))
      << "the station never settled";
}

void StationTest::AfterSeconds(int64_t seconds) {
  steady_.AdvanceSeconds(seconds);
  station_->Tick();
}

size_t StationTest::Count(const std::string& text) const {
  const std::string log = Log();
  size_t count = 0;
  for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
  return count;
}
