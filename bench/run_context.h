#pragma once
// What a benchmark's figures depend on, printed with them: the commit measured, and how
// busy the machine was while they were taken.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// The source tree's commit, with "-dirty" when it has changes that are not committed.
inline std::string SourceCommit() {
  const std::string command =
      "git -C '" ISOVIEW_SOURCE_DIR "' describe --always --dirty --abbrev=12 2>/dev/null";
  const std::unique_ptr<FILE, int (*)(FILE*)> git(popen(command.c_str(), "r"), &pclose);
  char line[128] = {};
  if (git == nullptr || std::fgets(line, sizeof line, git.get()) == nullptr) return "unknown";
  std::string commit(line);
  while (!commit.empty() && (commit.back() == '\n' || commit.back() == '\r')) commit.pop_back();
  return commit;
}

// The load averages over 1, 5 and 15 minutes.
inline std::string LoadAverage() {
  double load[3] = {};
  if (getloadavg(load, 3) != 3) return "unknown";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

inline void PrintRunContext() {
  std::printf("commit %s, load average %s\n", SourceCommit().c_str(), LoadAverage().c_str());
}
