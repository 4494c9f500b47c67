#include "station/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace {

constexpr uint32_t WM_COMMAND_ENDED = WM_USER + 1;
constexpr int kMillisecondsPerSecond = 1000;

// A descriptor closed when it goes.
class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& variables) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
  environment.insert(environment.end(), variables.begin(), variables.end());
  return environment;
}

// The shell, in a process group of its own so that a time-out reaches what it started.
pid_t Spawn(const std::string& command, const std::vector<std::string>& variables,
            std::string& problem) {
  std::vector<std::string> arguments{"sh", "-c", command};
  std::vector<std::string> environment = EnvironmentWith(variables);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, "/bin/sh", &actions, &attributes, Pointers(arguments).data(),
                                Pointers(environment).data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error == 0) return pid;
  problem = std::string("could not start: ") + std::strerror(error);
  return -1;
}

std::string ExitProblem(int status) {
  if (WIFEXITED(status))
    return WEXITSTATUS(status) == 0 ? ""
                                    : "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
  return "ended with wait status " + std::to_string(status);
}

int Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

struct TCommandRunner::TRun {
  pid_t pid = -1;
  TFd exited;  // readable once the shell has ended
  TFd stop{eventfd(0, EFD_CLOEXEC)};
  std::string problem;
  TEnded ended;
  std::thread watcher;

  // Waits for the shell's end, the time-out or a stop; kills the group unless it ended.
  void Watch(int timeoutSeconds, const std::function<void()>& done) {
    pollfd fds[] = {{exited.Get(), POLLIN, 0}, {stop.Get(), POLLIN, 0}};
    int ready = 0;
    do {
      ready = poll(fds, 2, timeoutSeconds * kMillisecondsPerSecond);
    } while (ready < 0 && errno == EINTR);
    const bool exitedFirst = ready > 0 && (fds[0].revents & POLLIN) != 0;
    if (!exitedFirst) kill(-pid, SIGKILL);
    const int status = Reap(pid);
    if (exitedFirst) {
      problem = ExitProblem(status);
    } else if (ready == 0) {
      problem = "ran longer than " + std::to_string(timeoutSeconds) + " s and was stopped";
    }
    if ((fds[1].revents & POLLIN) == 0) done();
  }
};

TCommandRunner::TCommandRunner()
    : loop_(MessageLoop::Current()), window_(loop_.AllocateHWnd([this](TMessage& message) {
        if (message.Msg == WM_COMMAND_ENDED) Ended(message.WParam);
      })) {}

TCommandRunner::~TCommandRunner() {
  for (auto& [id, run] : runs_) {
    const uint64_t one = 1;
    if (write(run->stop.Get(), &one, sizeof one) < 0) kill(-run->pid, SIGKILL);
    run->watcher.join();
  }
  loop_.DeallocateHWnd(window_);
}

void TCommandRunner::Run(const std::string& command, const std::vector<std::string>& variables,
                         int timeoutSeconds, TEnded ended) {
  auto run = std::make_unique<TRun>();
  run->ended = std::move(ended);
  run->pid = Spawn(command, variables, run->problem);
  if (run->pid < 0) {
    run->ended(run->problem);
    return;
  }
  run->exited.Reset(static_cast<int>(syscall(SYS_pidfd_open, run->pid, 0)));
  const uintptr_t id = ++lastId_;
  TRun& started = *run;
  runs_.emplace(id, std::move(run));
  started.watcher = std::thread([this, &started, id, timeoutSeconds] {
    started.Watch(timeoutSeconds,
                  [this, id] { loop_.PostMessage(window_, WM_COMMAND_ENDED, id, 0); });
  });
}

void TCommandRunner::Ended(uintptr_t id) {
  const auto found = runs_.find(id);
  if (found == runs_.end()) return;
  std::unique_ptr<TRun> run = std::move(found->second);
  runs_.erase(found);
  run->watcher.join();
  run->ended(run->problem);
}
