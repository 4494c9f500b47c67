#pragma once
// Runs the operator's commands beside the message loop: each in a process group of its own,
// watched by a thread of its own, so that a command that hangs or never starts holds
// nothing up. A command that runs past its time is killed with its children; the outcome
// comes back on the loop's thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/message_loop.h"

class TCommandRunner {
 public:
  // problem: "" when the command exited with status 0, else what went wrong.
  using TEnded = std::function<void(const std::string& problem)>;

  TCommandRunner();
  // Kills what still runs and reaps it; nothing more is told.
  ~TCommandRunner();
  TCommandRunner(const TCommandRunner&) = delete;
  TCommandRunner& operator=(const TCommandRunner&) = delete;

  // Runs "/bin/sh -c command" with standard input from /dev/null and the process's
  // environment plus the variables ("NAME=value"). The command is the operator's own text;
  // values reach it only as variables, never as part of the text the shell reads.
  void Run(const std::string& command, const std::vector<std::string>& variables,
           int timeoutSeconds, TEnded ended);
  size_t Running() const { return runs_.size(); }

 private:
  struct TRun;
  void Ended(uintptr_t id);

  MessageLoop& loop_;
  TWindowHandle window_;
  uintptr_t lastId_ = 0;
  std::map<uintptr_t, std::unique_ptr<TRun>> runs_;
};
