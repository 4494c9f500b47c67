#include "tests/support/access_log.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

// Servers write a request's line as it ends; this is only reached when one never comes.
constexpr int kGuardMilliseconds = 10000;

std::vector<std::string> CutAtTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

std::vector<std::vector<std::string>> LogLines(const std::string& fileName) {
  std::vector<std::vector<std::string>> lines;
  std::ifstream in(fileName);
  for (std::string line; std::getline(in, line);) lines.push_back(CutAtTabs(line));
  return lines;
}

}  // namespace

std::vector<std::vector<std::string>> AwaitLogLines(const std::string& fileName, size_t count) {
  const int changes = ::inotify_init1(IN_CLOEXEC);
  ::inotify_add_watch(changes, fileName.c_str(), IN_MODIFY);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMilliseconds);
  auto lines = LogLines(fileName);
  while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
    pollfd changed{changes, POLLIN, 0};
    if (::poll(&changed, 1, kGuardMilliseconds) > 0) {
      char events[4096];
      (void)!::read(changes, events, sizeof events);
    }
    lines = LogLines(fileName);
  }
  ::close(changes);
  return lines;
}

std::vector<TRequestRecord> TAccessLog::Next(size_t count) {
  std::vector<TRequestRecord> records;
  const auto lines = AwaitLogLines(fileName_, seen_ + count);
  for (size_t i = seen_; i < lines.size(); ++i) {
    auto fields = lines[i];
    fields.resize(5);
    records.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
  }
  seen_ = lines.size();
  return records;
}
