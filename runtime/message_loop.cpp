#include "runtime/message_loop.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <system_error>

#include "runtime/epoll_source.h"
#include "runtime/loop_timers.h"
#include "runtime/message_queue.h"
#include "runtime/socket_notifier.h"

namespace {

constexpr int kEventsPerPoll = 64;

// The outcome of one call handed over by Synchronize, waited for by the calling thread.
class TSyncOutcome {
 public:
  void Finish(bool ran, std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    if (done_) return;
    done_ = true;
    ran_ = ran;
    error_ = std::move(error);
    finished_.notify_all();
  }

  // True when the call ran; its exception is raised here.
  bool Wait() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return done_; });
    if (error_) std::rethrow_exception(error_);
    return ran_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  bool ran_ = false;
  std::exception_ptr error_;
};

// The queued side of the call. Whoever drops it unrun (a loop that ends) still releases
// the waiting thread.
class TSyncTicket {
 public:
  TSyncTicket(const std::function<void()>& fn, std::shared_ptr<TSyncOutcome> outcome)
      : fn_(fn), outcome_(std::move(outcome)) {}
  ~TSyncTicket() { outcome_->Finish(false, nullptr); }
  TSyncTicket(const TSyncTicket&) = delete;
  TSyncTicket& operator=(const TSyncTicket&) = delete;

  void Run() {
    try {
      fn_();
      outcome_->Finish(true, nullptr);
    } catch (...) {
      outcome_->Finish(true, std::current_exception());
    }
  }

 private:
  const std::function<void()>& fn_;  // the caller waits, so it outlives the ticket's use
  std::shared_ptr<TSyncOutcome> outcome_;
};

// Keeps the entries queued again signalled when a handler raises out of the dispatch.
struct TResignalGuard {
  TMessageQueue& queue;
  ~TResignalGuard() { queue.SignalIfPending(); }
};

thread_local bool currentLoopEnded = false;

// The thread's own loop, marking its end for the objects that outlive it.
struct TThreadLoop {
  MessageLoop loop;
  ~TThreadLoop() { currentLoopEnded = true; }
};

}  // namespace

MessageLoop& MessageLoop::Current() {
  thread_local TThreadLoop current;
  return current.loop;
}

bool MessageLoop::CurrentEnded() {
  return currentLoopEnded;
}

MessageLoop::MessageLoop()
    : owner_(std::this_thread::get_id()),
      queue_(std::make_shared<TMessageQueue>()),
      epoll_(epoll_create1(EPOLL_CLOEXEC)) {
  if (epoll_ < 0) throw std::system_error(errno, std::generic_category(), "epoll_create1");
  uint32_t watched = 0;
  WatchDescriptor(epoll_, queue_->WakeFd(), EpollTag(TEpollSource::esWake, queue_->WakeFd()),
                  EPOLLIN, watched);
  sockets_ = std::make_unique<TSocketNotifier>(epoll_, *queue_);
  timers_ = std::make_unique<TLoopTimers>(epoll_, *queue_);
}

MessageLoop::~MessageLoop() {
  queue_->Close();
  timers_.reset();
  sockets_.reset();
  close(epoll_);
}

int MessageLoop::Fd() const {
  return epoll_;
}

TWindowHandle MessageLoop::AllocateHWnd(TWndMethod method) {
  return queue_->AddWindow(std::move(method));
}

void MessageLoop::DeallocateHWnd(TWindowHandle window) {
  timers_->KillWindow(window);
  queue_->RemoveWindow(window);
}

bool MessageLoop::IsWindow(TWindowHandle window) const {
  return queue_->HasWindow(window);
}

bool MessageLoop::PostMessage(TWindowHandle window, uint32_t msg, uintptr_t wParam,
                              intptr_t lParam) {
  if (window == 0) return false;
  TQueuedEntry entry;
  entry.window = window;
  entry.message = TMessage{msg, wParam, lParam, 0};
  return queue_->Push(std::move(entry));
}

void MessageLoop::AsyncSelect(int socket, TWindowHandle window, uint32_t msg, uint32_t mask) {
  sockets_->Select(socket, window, msg, mask);
}

void MessageLoop::ReEnableSocketEvent(int socket, uint32_t event) {
  sockets_->ReEnable(socket, event);
}

void MessageLoop::ForgetSocket(int socket) {
  sockets_->Forget(socket);
}

TAsyncHandle MessageLoop::StartAsyncRequest(TWindowHandle window, uint32_t msg,
                                            std::function<TAsyncAnswer()> work) {
  const TAsyncHandle request = queue_->AddRequest(window);
  auto answerOnLoop = [queue = queue_, window, msg, request, work = std::move(work)] {
    TQueuedEntry entry;
    entry.kind = TEntryKind::ekAnswer;
    entry.window = window;
    entry.request = request;
    entry.message = TMessage{msg, request, 0, 0};
    try {
      entry.answer = work();
    } catch (...) {
      entry.answer = [error = std::current_exception()]() -> intptr_t {
        std::rethrow_exception(error);
      };
    }
    queue->Push(std::move(entry));
  };
  try {
    // Detached: a slow lookup must not hold up the end of its loop, and the queue it
    // answers to outlives the loop.
    std::thread(std::move(answerOnLoop)).detach();
  } catch (...) {
    queue_->TakeRequest(request);
    throw;
  }
  return request;
}

bool MessageLoop::CancelAsyncRequest(TAsyncHandle request) {
  return request != 0 && queue_->TakeRequest(request);
}

bool MessageLoop::SetTimer(TWindowHandle window, uintptr_t id, uint32_t msg, uint32_t intervalMs) {
  return timers_->Set(window, id, msg, intervalMs);
}

void MessageLoop::KillTimer(TWindowHandle window, uintptr_t id) {
  timers_->Kill(window, id);
}

void MessageLoop::PollReadiness() {
  epoll_event events[kEventsPerPoll];
  int count = 0;
  do {
    count = epoll_wait(epoll_, events, kEventsPerPoll, 0);
    for (int i = 0; i < count; ++i) {
      const uint64_t tag = events[i].data.u64;
      switch (EpollTagSource(tag)) {
        case TEpollSource::esWake:
          queue_->DrainWake();
          break;
        case TEpollSource::esSocket:
          sockets_->OnReady(EpollTagFd(tag), events[i].events);
          break;
        case TEpollSource::esTimer:
          timers_->OnExpired(EpollTagFd(tag));
          break;
      }
    }
  } while (count == kEventsPerPoll);
}

bool MessageLoop::ProcessMessages() {
  PollReadiness();
  TResignalGuard resignal{*queue_};
  bool quit = false;
  while (auto entry = queue_->Pop()) {
    if (entry->kind == TEntryKind::ekQuit) {
      quit = terminated_ = true;
      continue;
    }
    Deliver(*entry);
  }
  return quit;
}

void MessageLoop::Deliver(TQueuedEntry& entry) {
  if (entry.kind == TEntryKind::ekTask) {
    entry.task();
    return;
  }
  // Kept alive while it runs, even when the handler destroys its own window.
  const std::shared_ptr<TWndMethod> method = queue_->FindWindow(entry.window);
  if (!method) return;
  if (entry.kind == TEntryKind::ekAnswer) {
    // A cancelled answer, or one whose window is gone, is dropped unread: the answer
    // writes into its requester's buffer.
    if (!queue_->TakeRequest(entry.request)) return;
    entry.message.LParam = entry.answer();
  }
  (*method)(entry.message);
}

void MessageLoop::WaitMessage(int timeoutMs) {
  epoll_event event;
  while (epoll_wait(epoll_, &event, 1, timeoutMs) < 0 && errno == EINTR) {
  }
}

void MessageLoop::Run() {
  while (!ProcessMessages()) WaitMessage(-1);
}

void MessageLoop::PostQuit() {
  TQueuedEntry entry;
  entry.kind = TEntryKind::ekQuit;
  queue_->Push(std::move(entry));
}

bool MessageLoop::Terminated() const {
  return terminated_;
}

bool MessageLoop::Synchronize(const std::function<void()>& fn) {
  if (std::this_thread::get_id() == owner_) {
    fn();
    return true;
  }
  auto outcome = std::make_shared<TSyncOutcome>();
  TQueuedEntry entry;
  entry.kind = TEntryKind::ekTask;
  entry.task = [ticket = std::make_shared<TSyncTicket>(fn, outcome)] { ticket->Run(); };
  queue_->Push(std::move(entry));
  return outcome->Wait();
}

void MessageLoop::SetApplicationPump(std::function<void()> pump) {
  applicationPump_ = std::move(pump);
}

void MessageLoop::PumpApplication() {
  if (applicationPump_)
    applicationPump_();
  else
    ProcessMessages();
}
