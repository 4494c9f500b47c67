#pragma once
// The queue of due schedule lines and its rules for lines whose job failed: a failed line
// steps behind the lines that are waiting and waits before its next attempt (2 s, doubling
// to at most 60 s), so one dead source neither holds the others up nor is hammered; ten
// minutes after its first failure it is given up. A source (URL) whose download failed
// waits as a whole: however many of its lines are queued, it gets one attempt per back-off,
// since each attempt at a silent server costs the client's whole time-out.

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "fetch/fetch_job.h"
#include "fetch/give_up_rule.h"
#include "runtime/date_time.h"

inline constexpr int64_t kFirstRetrySeconds = 2;
inline constexpr int64_t kLongestRetrySeconds = 60;

// The wait before the attempt that follows the given number of failed attempts.
int64_t RetryDelaySeconds(int failedAttempts);

struct TQueuedLine {
  std::string line;
  TJobProgress progress;  // what earlier attempts completed
  TGiveUpRule failures;
  TDateTime retryAt;  // not taken before; meaningful once it has failed
  bool Failing() const { return failures.Attempts() > 0; }
};

class TFetchQueue {
 public:
  using Position = std::list<TQueuedLine>::iterator;

  void Append(std::string line);
  bool Empty() const { return lines_.empty(); }
  size_t Size() const { return lines_.size(); }
  std::vector<std::string> Lines() const;

  // The first line, in queue order, that may run at now; End() when every line waits.
  // Positions stay valid while lines are appended.
  Position NextDue(TDateTime now);
  Position End() { return lines_.end(); }
  // A line whose job ended normally leaves; its source answered, so it waits no more.
  void Remove(Position line);
  // Records a failed attempt at now. Answers true when the line is given up (it has then
  // left the queue); otherwise it now waits behind the others for its back-off.
  bool Failed(Position line, TDateTime now);

  // How many sources (URLs) have a failed line waiting for a retry: a dead source whose
  // events of several minutes wait counts once.
  int FailingCount() const;
  // The failing line whose retry comes first; null when none fails.
  const TQueuedLine* NextRetry() const;

 private:
  // A source's download failures in a row and when it may be tried again.
  struct TSourceBackOff {
    int failures = 0;
    TDateTime retryAt;
  };
  bool MayRun(const TQueuedLine& queued, TDateTime now) const;

  std::list<TQueuedLine> lines_;
  std::map<std::string, TSourceBackOff> sourceBackOffs_;  // by URL
};
