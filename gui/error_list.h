#pragma once
// What the error display shows: the latest distinct errors, each with the time it last
// came, how often it came and where from, and how many older ones no longer fit. An
// unattended station may see the same failure every two seconds for days, so the list
// stays the same size and each new error costs the same, however many came before.

#include <cstddef>
#include <ctime>
#include <list>
#include <string>
#include <unordered_map>

class TErrorList {
 public:
  static constexpr size_t kMaxShown = 20;
  // A message longer than this is cut: the box, not the log, is the place that must stay small.
  static constexpr size_t kMaxMessageLength = 400;

  // Records one error at a UTC time given as seconds since 1970.
  void Add(const std::string& source, const std::string& message, std::time_t when);
  void Clear();

  // One line per shown error, oldest first, then "N earlier messages are in isoview.log"
  // when some were pushed out.
  std::string Text() const;
  // The message text of the error that came last (empty when none).
  std::string LatestMessage() const;
  size_t Earlier() const { return earlier_; }

 private:
  struct TEntry {
    std::string source;
    std::string message;
    std::time_t when = 0;
    size_t count = 0;
  };
  static std::string KeyOf(const std::string& source, const std::string& message);
  static std::string LineOf(const TEntry& entry);
  void DropOldest();

  std::list<TEntry> entries_;  // oldest first
  std::unordered_map<std::string, std::list<TEntry>::iterator> byKey_;
  size_t earlier_ = 0;
};
