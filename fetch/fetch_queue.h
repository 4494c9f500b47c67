#pragma once
// The queue of due schedule lines and its rules for lines whose job failed: a failed line
// steps behind the lines that are waiting and waits before its next attempt (2 s, doubling
// to at most 60 s), so one dead source neither holds the others up nor is hammered; ten
// minutes after its first failure it is given up.

#include <cstdint>
#include <list>
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
  void Remove(Position line) { lines_.erase(line); }
  // Records a failed attempt at now. Answers true when the line is given up (it has then
  // left the queue); otherwise it now waits behind the others for its back-off.
  bool Failed(Position line, TDateTime now);

  // How many sources (URLs) have a failed line waiting for a retry: a dead source whose
  // events of several minutes wait counts once.
  int FailingCount() const;
  // The failing line whose retry comes first; null when none fails.
  const TQueuedLine* NextRetry() const;

 private:
  std::list<TQueuedLine> lines_;
};
