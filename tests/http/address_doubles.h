#pragma once
// Stand-ins for a host's addresses: a name answered with chosen addresses, and a listener
// that never answers a connect.

#include <mutex>
#include <string>
#include <vector>

#include "http/host_lookup.h"

// While it lives, name stands for addresses; every name asked for is kept.
class TAnsweringHook {
 public:
  TAnsweringHook(const std::string& name, std::vector<std::string> addresses);
  std::vector<std::string> Asked();

 private:
  std::mutex mutex_;
  std::vector<std::string> asked_;
  TScopedHostLookup hook_;
};

// A listener whose queue of connections is full and never taken from: a connect to it
// neither succeeds nor fails, like one to a host that drops the packets.
class TStalledListener {
 public:
  TStalledListener(const std::string& address, const std::string& port);
  ~TStalledListener();
  TStalledListener(const TStalledListener&) = delete;
  TStalledListener& operator=(const TStalledListener&) = delete;

  // Takes the waiting connections from the queue: the connect that waited is answered.
  void Answer();

 private:
  int listener_ = -1;
  int fillers_[2] = {-1, -1};
};
