#include "station/station.h"

#include <algorithm>
#include <thread>

#include "archive/saved_list.h"
#include "http/url_helpers.h"
#include "program/date_codes.h"
#include "program/program_folder.h"
#include "runtime/atomic_file.h"
#include "runtime/stream.h"
#include "runtime/strings.h"
#include "station/next_event.h"
#include "station/station_folders.h"

namespace {

constexpr uint32_t WM_STATION_TICK = WM_USER + 1;
constexpr uint32_t WM_STATION_DISPATCH = WM_USER + 2;
constexpr uint32_t WM_STATION_PROGRESS = WM_USER + 3;
constexpr uintptr_t kTickTimerId = 1;
constexpr uintptr_t kProgressTimerId = 2;
constexpr size_t kMostWorkerThreads = 4;
// The clock's timer is set to fire this long after a whole interval of the wall clock, so
// that a timer a little early still ticks in the new second.
constexpr int64_t kTickAfterBoundaryMs = 3;

// Where the station's own errors come from, as the error display names them.
constexpr const char* kStartUpSource = "Start-up";
constexpr const char* kClockSource = "Clock";
constexpr const char* kScheduleSource = "Schedule";
constexpr const char* kEditorSource = "Editor";
constexpr const char* kSettingsSource = "Settings";
constexpr const char* kArchiveSource = "Archive";

// A schedule line is mostly column padding; the log keeps one blank between fields.
std::string SqueezeBlanks(const std::string& line) {
  std::string squeezed;
  for (char c : Trim(line))
    if (!(c == ' ' && !squeezed.empty() && squeezed.back() == ' ')) squeezed += c;
  return squeezed;
}

// The error display names a line by its title, its URL without the password, or the line.
std::string SourceOfLine(const std::string& line) {
  const std::string title = ShownTitle(CutFetchInputs(line));
  return title.empty() ? Trim(ShownLine(line)) : title;
}

// The limit of downloads to one host counts the host's name, whatever port or scheme.
std::string HostOf(const std::string& url) {
  TUrlParts parts;
  std::string path;
  SplitURL(url, parts, path);
  return LowerCase(parts.host);
}

std::string ReadWhole(const std::string& fileName) {
  TMemoryStream bytes;
  bytes.LoadFromFile(fileName);
  return {bytes.Bytes().begin(), bytes.Bytes().end()};
}

}  // namespace

size_t DefaultWorkerThreads() {
  return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, kMostWorkerThreads);
}

TStation::TStation(TStationEnvironment environment, TStationReport& report)
    : environment_(std::move(environment)),
      report_(report),
      log_(environment_.programFolder + kLogFileName, *environment_.clock, *environment_.zone),
      archive_(environment_.programFolder, log_, *environment_.clock, *environment_.zone),
      history_(environment_.programFolder + kSourceHistoryFileName),
      health_(environment_.programFolder + kSourceHealthFileName),
      sourceCommand_(log_,
                     [this](const std::string& problem) {
                       ReportError(kSourceCommandSource, problem, fkConfiguration);
                     }),
      utcClock_(*environment_.clock, *environment_.zone),
      workers_(environment_.workerThreads),
      loop_(MessageLoop::Current()),
      window_(loop_.AllocateHWnd([this](TMessage& message) { HandleMessage(message); })) {}

TStation::~TStation() {
  loop_.KillTimer(window_, kTickTimerId);
  loop_.KillTimer(window_, kProgressTimerId);
  loop_.DeallocateHWnd(window_);
}

void TStation::HandleMessage(TMessage& message) {
  if (message.Msg == WM_STATION_TICK) {
    ArmClock();
    Tick();
  }
  if (message.Msg == WM_STATION_DISPATCH) Dispatch();
  if (message.Msg == WM_STATION_PROGRESS) ProgressDue();
}

bool TStation::Start() {
  log_.Add("Isoview started in " + ProgramFolder());
  for (const std::string& line : ProxyReport(environment_.proxies)) log_.Add(line);
  ReadSettings();
  LoadHistory();
  const bool loaded = LoadSchedule(kStartUpSource);
  RemoveTemporaries();
  TellLastSave();
  ReportSources();
  ArmClock();
  return loaded;
}

// The clock ticks just after each whole second of the wall clock, not at the phase the
// program happened to start in: a minute's lines are then queued and started within
// milliseconds of the minute's start rather than up to a second late.
void TStation::ArmClock() {
  const int64_t interval = environment_.tickIntervalMs;
  if (interval == 0 || stopping_) return;
  const int64_t intoInterval = environment_.clock->Now().ms % interval;
  loop_.SetTimer(window_, kTickTimerId, WM_STATION_TICK,
                 uint32_t(interval - intoInterval + kTickAfterBoundaryMs));
}

void TStation::ReadSettings() {
  std::vector<std::string> problems;
  if (environment_.settings) settings_ = ReadStationSettings(*environment_.settings, problems);
  for (const std::string& problem : problems)
    ReportError(kSettingsSource, problem, fkConfiguration);
  sourceCommand_.Configure(settings_);
  for (int i = 0; i < settings_.maxDownloads; ++i) {
    auto client = std::make_unique<TAsyncDownload>();
    client->Http().SetProxyEnvironment(environment_.proxies);
    client->Http().MaxTime = settings_.deadlineSeconds;
    client->Http().MaxBodySize = settings_.bodyLimitBytes;
    clients_.push_back(std::move(client));
  }
}

void TStation::LoadHistory() {
  try {
    history_.Load();
    health_.Load();
  } catch (const std::exception& error) {
    ReportError(kStartUpSource, error.what(), fkDisk);
  }
}

bool TStation::LoadSchedule(const std::string& source) {
  scheduledUrls_.clear();
  try {
    const int dropped = eventTable_.Load(ProgramFolder() + kScheduleFileName);
    log_.Add("Schedule loaded: " + IntToStr(eventTable_.Count()) + " events");
    if (dropped > 0) ReportError(kScheduleSource, DroppedEventsMessage(dropped), fkConfiguration);
  } catch (const std::exception& error) {
    ReportError(source, error.what(), fkConfiguration);
    return false;
  }
  for (const std::string& line : eventTable_.Lines())
    scheduledUrls_.insert(CutFetchInputs(line).URL);
  return true;
}

// A save or download that a kill cut short left its temporary file; without this it would
// stay until the next save into the same folder, which may never come.
void TStation::RemoveTemporaries() {
  int removed = 0;
  for (const std::string& folder : SaveFolders(ProgramFolder(), eventTable_, Clock(), Zone()))
    removed += RemoveDeadTemporaries(folder);
  if (removed > 0) log_.Add("Removed " + IntToStr(removed) + " temporary files of ended runs");
}

void TStation::TellLastSave() {
  try {
    const std::vector<TSavedFile> saves =
        LatestSaves(ParseSavedList(ReadWhole(ProgramFolder() + kSavedListFileName)));
    if (!saves.empty()) report_.Saved({saves.back().path, saves.back().savedAt, ""});
  } catch (const EFOpenError&) {
    // nothing saved yet
  }
}

void TStation::ScheduleEdited() {
  LoadSchedule(kEditorSource);
  utcClock_.ScheduleEdited();
  ReportSources();
}

void TStation::Tick() {
  try {
    QueueTick(utcClock_.Tick(eventTable_));
  } catch (const std::exception& error) {
    ClockFailed(error);
  }
  PruneArchive();
  Dispatch();
  SaveHealth();
}

void TStation::QueueTick(const TClockTick& tick) {
  clockFailing_ = false;
  report_.ClockTicked({tick.time, eventTable_.Count()});
  if (!tick.note.empty()) log_.Add(tick.note);
  for (const std::string& line : tick.queued) {
    queue_.Append(line);
    log_.Add("Queued: " + SqueezeBlanks(ShownLine(line)));
  }
  if (!tick.queued.empty()) ReportQueue();
  report_.NextEventChanged(NextDueEvent(eventTable_, tick.utc));
}

// The zone may answer again at the next tick: the clock goes on asking, and the queue goes
// on being served. The error is told once for each spell of failures.
void TStation::ClockFailed(const std::exception& error) {
  report_.ClockTicked({"", eventTable_.Count()});
  if (std::exchange(clockFailing_, true)) return;
  ReportError(kClockSource, error.what(), fkConfiguration);
}

void TStation::PruneArchive() {
  try {
    archive_.PruneWhenDue();
  } catch (const std::exception& error) {
    ReportError(kArchiveSource, error.what(), fkDisk);
  }
}

void TStation::Stop(const std::string& logLine) {
  stopping_ = true;
  log_.Add(logLine);
  SaveHealth();
  loop_.KillTimer(window_, kTickTimerId);
  for (const auto& client : clients_) client->Abort();
}

// A job's end may come in the middle of another's step: the next lines start from the
// loop, once that step is over.
void TStation::PostDispatch() {
  if (std::exchange(dispatchPosted_, true)) return;
  loop_.PostMessage(window_, WM_STATION_DISPATCH, 0, 0);
}

void TStation::Dispatch() {
  dispatchPosted_ = false;
  if (stopping_) return;
  const auto admits = [this](const TQueuedLine& line) { return Admits(line); };
  for (auto line = queue_.NextDue(environment_.steady->NowMs(), admits); line != queue_.End();
       line = queue_.NextDue(environment_.steady->NowMs(), admits))
    StartJob(line);
  ReportQueue();
  ReportSources();
  ShowRetryStatus();
}

bool TStation::Admits(const TQueuedLine& line) const {
  if (line.progress.next != jsDownload) return true;
  if (!FreeClient()) return false;
  const std::string host = HostOf(line.inputs.URL);
  const auto toHost = std::ranges::count_if(jobs_, [&](const auto& job) {
    return job->Client() && HostOf(job->Line()->inputs.URL) == host;
  });
  return toHost < settings_.maxDownloadsPerHost;
}

TAsyncDownload* TStation::FreeClient() const {
  for (const auto& client : clients_)
    if (!client->Running()) return client.get();
  return nullptr;
}

int TStation::RunningDownloads() const {
  return static_cast<int>(std::ranges::count_if(clients_, &TAsyncDownload::Running));
}

void TStation::StartJob(TFetchQueue::Position line) {
  queue_.Started(line);
  health_.Attempted(line->line, UtcNow());
  jobs_.push_back(std::make_unique<TChartJob>(static_cast<TJobHost&>(*this), line));
  TChartJob& job = *jobs_.back();
  const bool downloads = line->progress.next == jsDownload;
  if (downloads && RunningDownloads() == 0) progressThrottle_.Restart();
  job.Start(downloads ? FreeClient() : nullptr);
}

void TStation::DownloadEnded(TChartJob& job) {
  report_.DownloadFinished({ShownTitle(job.Line()->inputs), job.Received()});
  ReportProgress();
  PostDispatch();
}

void TStation::SourceAnswered(TChartJob& job) {
  queue_.SourceAnswered(*job.Line());
  health_.Delivered(job.Line()->line, UtcNow(), job.Digest());
  HistoryWritten(history_.Answered(job.Line()->inputs.URL));
}

// A change the throttle holds back is told when its interval is over, so that a download
// that stalls after it shows what it has, not what it had a moment before.
void TStation::ProgressChanged() {
  if (progressThrottle_.Due(environment_.steady->NowMs())) {
    ReportProgress();
  } else if (!std::exchange(progressHeld_, true)) {
    loop_.SetTimer(window_, kProgressTimerId, WM_STATION_PROGRESS,
                   static_cast<uint32_t>(kProgressIntervalMs));
  }
}

void TStation::ProgressDue() {
  loop_.KillTimer(window_, kProgressTimerId);
  progressHeld_ = false;
  progressThrottle_.Restart();
  progressThrottle_.Due(environment_.steady->NowMs());
  ReportProgress();
}

void TStation::ReportProgress() {
  TProgressReport progress;
  bool lengthsKnown = true;
  int64_t length = 0;
  for (const auto& job : jobs_) {
    if (!job->Client()) continue;
    ++progress.downloads;
    progress.received += job->Received();
    lengthsKnown = lengthsKnown && job->Length() >= 0;
    length += std::max<int64_t>(job->Length(), 0);
  }
  if (progress.downloads > 0 && lengthsKnown) progress.length = length;
  report_.ProgressChanged(progress);
}

void TStation::JobEnded(TChartJob& job, const EStationFailure* failure) {
  const TFetchQueue::Position line = job.Line();
  if (!failure) health_.Succeeded(line->line, UtcNow(), job.SavedPath());
  jobs_.remove_if([&](const auto& held) { return held.get() == &job; });
  if (!failure)
    queue_.Remove(line);
  else if (stopping_)
    line->running = false;  // cut short by the stop: no failure of its source
  else
    LineFailed(line, *failure);
  // The status goes on telling what still runs, not that one of several jobs is done.
  if (!jobs_.empty()) report_.StatusChanged(jobs_.front()->LastStatus());
  ReportQueue();
  ReportSources();
  PostDispatch();
}

void TStation::LineFailed(TFetchQueue::Position line, const EStationFailure& failure) {
  const TFetchInputs inputs = line->inputs;
  const std::string source = SourceOfLine(line->line);
  const int attempts = line->failures.Attempts() + 1;
  ReportError({source, FetchJobName(inputs) + ": " + failure.Message(), failure.Kind(),
               failure.ErrorNumber(), inputs.URL, false});
  // A line given up stays so until it delivers: each of its later events gets one attempt,
  // not another ten minutes of retries.
  const bool wasGivenUp = health_.GivenUp(line->line);
  const std::string scheduleLine = line->line;
  bool givenUp = queue_.Failed(line, environment_.steady->NowMs());
  if (!givenUp && wasGivenUp) {
    queue_.Drop(line);
    givenUp = true;
  }
  health_.Failed(scheduleLine, UtcNow(), failure, givenUp);
  if (givenUp && !wasGivenUp) GiveUp(source, inputs, failure, attempts);
}

void TStation::GiveUp(const std::string& source, const TFetchInputs& inputs,
                      const EStationFailure& failure, int attempts) {
  ReportError({source, GiveUpMessage(FetchJobName(inputs), attempts), failure.Kind(),
               failure.ErrorNumber(), inputs.URL, true});
  HistoryWritten(history_.GaveUp(inputs.URL, UtcNow()));
}

// The history in memory is right either way; the file catches up at the next change.
void TStation::HistoryWritten(bool written) {
  if (!written) log_.Add("Could not write " + ProgramFolder() + kSourceHistoryFileName);
}

void TStation::SaveHealth() {
  const bool written = health_.SaveChanges();
  if (!written && !std::exchange(healthUnwritten_, true))
    log_.Add("Could not write " + ProgramFolder() + kSourceHealthFileName);
  if (written) healthUnwritten_ = false;
}

TDateTime TStation::UtcNow() const {
  return UtcForDateCodes(Clock().NowIn(Zone()));
}

std::vector<TSourceRow> TStation::SourceRows() const {
  return health_.Rows(eventTable_.Lines(), UtcNow());
}

void TStation::ReportSources() {
  const std::vector<TSourceRow> rows = SourceRows();
  report_.SourcesChanged(rows);
  sourceCommand_.SourcesChanged(rows, UtcNow());
}

void TStation::ReportError(const std::string& source, const std::string& message,
                           TFailureKind kind) {
  TErrorReport error;
  error.source = source;
  error.message = message;
  error.kind = kind;
  ReportError(error);
}

void TStation::ReportError(const TErrorReport& error) {
  log_.Add("Error (" + error.source + "): " + error.message);
  report_.ErrorReported(error);
}

void TStation::ReportQueue() {
  TQueueReport queue;
  for (const std::string& line : queue_.Lines()) queue.lines.push_back(ShownLine(line));
  queue.running = static_cast<int>(queue_.Running());
  std::set<std::string> failing;
  for (const std::string& url : queue_.FailingSources()) failing.insert(url);
  for (const std::string& url : history_.Failing())
    if (scheduledUrls_.contains(url)) failing.insert(url);
  queue.failingSources.assign(failing.begin(), failing.end());
  report_.QueueChanged(queue);
}

void TStation::ShowRetryStatus() {
  const TQueuedLine* next = queue_.NextRetry();
  if (!next) return;
  const int64_t waitMs = next->retryAtMs - environment_.steady->NowMs();
  const int64_t seconds = std::max<int64_t>(0, (waitMs + 999) / 1000);
  report_.StatusChanged("Retrying " + next->inputs.Title + " in " + IntToStr(seconds) + " s");
}
