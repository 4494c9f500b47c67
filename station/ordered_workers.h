#pragma once
// Worker threads for the slow part of a job (decoding, drawing, encoding), so that the
// message loop's thread never waits for a picture; their results come back on that loop
// in the order the work was handed in, so saves and their log lines keep the order of
// the downloads that ended.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "runtime/message_loop.h"

class TOrderedWorkers {
 public:
  // Threads work side by side; the results come back on the calling thread's loop.
  explicit TOrderedWorkers(size_t threads);
  // Drops the work not yet begun, waits for the work in hand, and delivers nothing more.
  ~TOrderedWorkers();
  TOrderedWorkers(const TOrderedWorkers&) = delete;
  TOrderedWorkers& operator=(const TOrderedWorkers&) = delete;

  // Work runs on a worker and must not raise (it keeps its own outcome); deliver runs on
  // the loop's thread once the work and all work handed in before it have been delivered.
  void Submit(std::function<void()> work, std::function<void()> deliver);
  // Handed in and not yet delivered.
  size_t Pending() const { return submitted_ - delivered_; }

 private:
  struct TItem {
    uint64_t sequence;
    std::function<void()> work;
  };
  void Run();
  void DeliverReady();

  MessageLoop& loop_;
  TWindowHandle window_;
  uint64_t submitted_ = 0;
  uint64_t delivered_ = 0;
  std::map<uint64_t, std::function<void()>> deliveries_;  // loop thread only
  std::set<uint64_t> finished_;                           // loop thread only
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TItem> waiting_;
  std::vector<uint64_t> done_;  // finished, not yet delivered
  bool stopping_ = false;
  std::vector<std::thread> threads_;  // last: they start once everything they use is there
};
