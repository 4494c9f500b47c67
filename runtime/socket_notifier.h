#pragma once
// WSAAsyncSelect over epoll for one message loop: turns the readiness of its sockets into
// notification messages, each event once until the call that consumes it allows it again.
// Used on the loop's thread only.

#include <cstdint>
#include <unordered_map>

#include "runtime/message_loop.h"

class TMessageQueue;

class TSocketNotifier {
 public:
  TSocketNotifier(int epoll, TMessageQueue& queue) : epoll_(epoll), queue_(queue) {}
  ~TSocketNotifier();
  TSocketNotifier(const TSocketNotifier&) = delete;
  TSocketNotifier& operator=(const TSocketNotifier&) = delete;

  void Select(int socket, TWindowHandle window, uint32_t msg, uint32_t mask);
  void ReEnable(int socket, uint32_t event);
  void Forget(int socket);
  // epoll reported events (EPOLLIN, …) for socket.
  void OnReady(int socket, uint32_t events);

 private:
  struct TRecord {
    TWindowHandle window = 0;
    uint32_t msg = 0;
    uint32_t mask = 0;
    bool stream = true;
    bool listening = false;
    bool connected = false;  // a peer exists (or existed) to read from or be closed by
    bool readAllowed = true;
    bool acceptAllowed = true;
    bool writeWanted = false;
    bool connectPending = false;
    bool peerClosed = false;
    bool closeDelivered = false;
    uint32_t watched = 0;  // registered with epoll
  };

  int epoll_;
  TMessageQueue& queue_;
  std::unordered_map<int, TRecord> records_;

  static TRecord Describe(int socket);
  uint32_t WantedEvents(const TRecord& record) const;
  void Update(int socket, TRecord& record);
  void Notify(int socket, const TRecord& record, uint32_t event, int error);
  void ConnectFinished(int socket, TRecord& record);
  void Readable(int socket, TRecord& record, bool hangUp);
  void PeerClosed(int socket, TRecord& record, uint32_t events);
};
