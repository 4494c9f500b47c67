#pragma once
// The queue of due schedule lines and its rules for lines whose job failed: a failed line
// steps behind the lines that are waiting and waits before its next attempt (2 s, doubling
// to at most 60 s), so one dead source neither holds the others up nor is hammered; ten
// minutes after its first failure it is given up. A source (URL) whose download failed
// waits as a whole: however many of its lines are queued, it gets one attempt per back-off,
// since each attempt at a silent server costs the client's whole time-out. Several lines
// run at once; waiting times are on the steady clock (milliseconds).

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "download/fetch_inputs.h"
#include "station/give_up_rule.h"
#include "station/job_progress.h"

inline constexpr int64_t kFirstRetrySeconds = 2;
inline constexpr int64_t kLongestRetrySeconds = 60;

// The wait before the attempt that follows the given number of failed attempts.
int64_t RetryDelaySeconds(int failedAttempts);

struct TQueuedLine {
  std::string line;
  TFetchInputs inputs;    // cut from the line once
  TJobProgress progress;  // what earlier attempts completed
  TGiveUpRule failures;
  int64_t retryAtMs = 0;  // not taken before; meaningful once it has failed
  bool running = false;
  bool Failing() const { return failures.Attempts() > 0; }
};

class TFetchQueue {
 public:
  using Position = std::list<TQueuedLine>::iterator;
  // Whether the line may start beside those running (the download limits).
  using TAdmission = std::function<bool(const TQueuedLine&)>;

  Position Append(std::string line);
  bool Empty() const { return lines_.empty(); }
  size_t Size() const { return lines_.size(); }
  std::vector<std::string> Lines() const;
  size_t Running() const;

  // The first line, in queue order, that is not running, whose wait is over at nowMs and
  // that admit accepts; End() when there is none. Positions stay valid while lines are
  // appended or others removed.
  Position NextDue(int64_t nowMs, const TAdmission& admit);
  Position End() { return lines_.end(); }
  void Started(Position line) { line->running = true; }
  // A line whose job ended normally leaves; its source answered, so it waits no more.
  void Remove(Position line);
  // The line's download succeeded (its later steps may still fail): its source answers.
  void SourceAnswered(const TQueuedLine& line);
  // Records a failed attempt at nowMs. Answers true when the line is given up (it has then
  // left the queue); otherwise it now waits behind the others for its back-off.
  bool Failed(Position line, int64_t nowMs);
  // The line leaves the queue without another attempt (its source was given up before).
  void Drop(Position line) { lines_.erase(line); }

  // The sources (URLs) that have a failed line waiting for a retry: a dead source whose
  // events of several minutes wait counts once.
  std::vector<std::string> FailingSources() const;
  // The failing line whose retry comes first; null when none fails or one runs.
  const TQueuedLine* NextRetry() const;

 private:
  // A source's download failures in a row and when it may be tried again.
  struct TSourceBackOff {
    int failures = 0;
    int64_t retryAtMs = 0;
  };
  bool MayRun(const TQueuedLine& queued, int64_t nowMs) const;
  bool SourceDownloading(const std::string& url) const;

  std::list<TQueuedLine> lines_;
  std::map<std::string, TSourceBackOff> sourceBackOffs_;  // by URL
};
