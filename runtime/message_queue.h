#pragma once
// The part of a message loop that other threads reach: the queue of posted entries, the
// table of hidden windows and the pending worker requests, all under one lock, and the
// eventfd that says the queue is not empty. Worker threads keep it alive after their loop
// has gone; entries pushed then are dropped.

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "runtime/message_loop.h"

enum class TEntryKind {
  ekMessage,       // posted by a program
  ekNotification,  // a socket's readiness
  ekTimer,
  ekAnswer,  // a worker request's answer
  ekTask,    // a call handed over by Synchronize
  ekQuit,
};

struct TQueuedEntry {
  TEntryKind kind = TEntryKind::ekMessage;
  TWindowHandle window = 0;
  TMessage message;
  int socket = -1;           // notifications
  TAsyncHandle request = 0;  // answers
  std::function<intptr_t()> answer;
  std::function<void()> task;  // tasks
};

class TMessageQueue {
 public:
  TMessageQueue();
  ~TMessageQueue();
  TMessageQueue(const TMessageQueue&) = delete;
  TMessageQueue& operator=(const TMessageQueue&) = delete;

  int WakeFd() const { return wakeFd_; }
  // Reads the eventfd empty; a later push signals it again.
  void DrainWake();
  // Signals the eventfd again when entries are left (after a handler raised).
  void SignalIfPending();

  // False, and nothing queued, when the loop is closed or the entry's window is gone.
  bool Push(TQueuedEntry entry);
  std::optional<TQueuedEntry> Pop();
  bool Contains(const std::function<bool(const TQueuedEntry&)>& match) const;
  void RemoveIf(const std::function<bool(const TQueuedEntry&)>& match);

  TWindowHandle AddWindow(TWndMethod method);
  void RemoveWindow(TWindowHandle window);
  bool HasWindow(TWindowHandle window) const;
  std::shared_ptr<TWndMethod> FindWindow(TWindowHandle window) const;

  // A request that answers to window; it is dropped with the window.
  TAsyncHandle AddRequest(TWindowHandle window);
  // True when the request was pending; it is pending no more.
  bool TakeRequest(TAsyncHandle request);

  // Drops every entry and window; pushes fail from now on.
  void Close();

 private:
  mutable std::mutex mutex_;
  std::deque<TQueuedEntry> entries_;
  std::unordered_map<TWindowHandle, std::shared_ptr<TWndMethod>> windows_;
  std::unordered_map<TAsyncHandle, TWindowHandle> requests_;
  TWindowHandle lastWindow_ = 0;
  TAsyncHandle lastRequest_ = 0;
  int wakeFd_ = -1;
  bool signalled_ = false;
  bool closed_ = false;

  void SignalLocked();
};
