#pragma once
// The per-thread message loop of the platform runtime. Hidden windows receive posted
// messages, sockets report their readiness in the manner of WSAAsyncSelect, slow requests
// (host lookups) run on worker threads and answer with a message, and other threads hand
// calls over with Synchronize. Everything is dispatched on the loop's own thread by
// ProcessMessages, which never blocks; Fd() becomes readable whenever there is something
// to process, so a GUI toolkit can watch it and call ProcessMessages.
//
// Threads: every member is for the loop's thread, except PostMessage, PostQuit and
// Synchronize, which any thread may call while the loop exists.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

using TWindowHandle = uint64_t;  // 0 is no window
using TAsyncHandle = uint32_t;   // 0 is no request

struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};
using TWndMethod = std::function<void(TMessage& message)>;

// The first message number free for a program's own use.
constexpr uint32_t WM_USER = 0x0400;

// Socket events, in the bit values of WSAAsyncSelect.
constexpr uint32_t kFdRead = 1;
constexpr uint32_t kFdWrite = 2;
constexpr uint32_t kFdOob = 4;
constexpr uint32_t kFdAccept = 8;
constexpr uint32_t kFdConnect = 16;
constexpr uint32_t kFdClose = 32;

// lParam of a socket notification and of a request's answer: low word the event (or the
// answer's length), high word the Windows Sockets error number.
constexpr intptr_t MakeSelectReply(uint32_t lowWord, uint32_t error) {
  return static_cast<intptr_t>(((error & 0xFFFF) << 16) | (lowWord & 0xFFFF));
}
constexpr uint32_t SelectEvent(intptr_t lParam) {
  return static_cast<uint32_t>(lParam) & 0xFFFF;
}
constexpr uint32_t SelectError(intptr_t lParam) {
  return (static_cast<uint32_t>(lParam) >> 16) & 0xFFFF;
}

class MessageLoop {
 public:
  // The calling thread's loop, made on first use and kept until the thread ends.
  static MessageLoop& Current();
  // True once the calling thread's loop has gone at the thread's end: objects destroyed
  // after it (static or thread-local ones) must not use it any more.
  static bool CurrentEnded();

  MessageLoop();
  ~MessageLoop();
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // Readable whenever ProcessMessages has something to do.
  int Fd() const;

  // Hidden windows. A destroyed window's queued messages are dropped and it receives
  // nothing more.
  TWindowHandle AllocateHWnd(TWndMethod method);
  void DeallocateHWnd(TWindowHandle window);
  bool IsWindow(TWindowHandle window) const;
  // Queues a message behind all others; false (nothing queued) when there is no such
  // window.
  bool PostMessage(TWindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam);

  // Socket notifications: the events of mask reach window as msg with wParam = socket and
  // lParam = MakeSelectReply(event, error). Each event is delivered once and then waits
  // until the call that consumes it allows it again (see ReEnableSocketEvent), so a socket
  // with unread data does not flood the queue. Mask 0 stops the notifications and keeps
  // what is pending for a later select (pause and resume).
  void AsyncSelect(int socket, TWindowHandle window, uint32_t msg, uint32_t mask);
  // Called by the socket functions: recv allows kFdRead again, accept kFdAccept, a send
  // that would block kFdWrite (once there is room), and connect arms the one kFdConnect.
  void ReEnableSocketEvent(int socket, uint32_t event);
  // The socket is being closed: no more notifications, and its queued ones are dropped,
  // so a later socket with the same number never sees them.
  void ForgetSocket(int socket);

  // Runs work on a worker thread. The function it returns runs later on this thread and
  // gives the lParam of the answer, which reaches window as msg with wParam = the handle,
  // unless the request was cancelled first. The handle is never 0.
  using TAsyncAnswer = std::function<intptr_t()>;
  TAsyncHandle StartAsyncRequest(TWindowHandle window, uint32_t msg,
                                 std::function<TAsyncAnswer()> work);
  // False when the request is not pending (unknown, answered or already cancelled).
  bool CancelAsyncRequest(TAsyncHandle request);

  // A repeating timer: msg with wParam = id every intervalMs, at most one queued at a time.
  // Setting an existing id again restarts it with the new interval.
  bool SetTimer(TWindowHandle window, uintptr_t id, uint32_t msg, uint32_t intervalMs);
  void KillTimer(TWindowHandle window, uintptr_t id);

  // Dispatches everything pending now, including what the handlers post meanwhile, and
  // returns without waiting. True when a quit message was taken from the queue.
  bool ProcessMessages();
  // Waits until something may be pending, at most timeoutMs (-1: no limit).
  void WaitMessage(int timeoutMs);
  // Waits and dispatches until a quit message is taken.
  void Run();
  void PostQuit();
  // Set once a quit message has been taken; stays set.
  bool Terminated() const;

  // Runs fn on the loop's thread and waits for it; an exception of fn reaches the caller.
  // On the loop's thread fn runs at once. False, with fn not run, when the loop ends first.
  bool Synchronize(const std::function<void()>& fn);

  // How the application processes its pending messages: a GUI toolkit sets a pump that
  // runs its own events and then ProcessMessages. Without one, ProcessMessages.
  void SetApplicationPump(std::function<void()> pump);
  void PumpApplication();

 private:
  std::thread::id owner_;
  std::shared_ptr<class TMessageQueue> queue_;  // shared with the worker threads
  int epoll_ = -1;
  std::unique_ptr<class TSocketNotifier> sockets_;
  std::unique_ptr<class TLoopTimers> timers_;
  std::function<void()> applicationPump_;
  bool terminated_ = false;

  void PollReadiness();
  void Deliver(struct TQueuedEntry& entry);
};
