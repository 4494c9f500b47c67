#include "runtime/socket_notifier.h"

#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include "runtime/epoll_source.h"
#include "runtime/message_queue.h"
#include "runtime/winsock_errors.h"

namespace {

int IntOption(int socket, int level, int name) {
  int value = 0;
  socklen_t length = sizeof value;
  return getsockopt(socket, level, name, &value, &length) == 0 ? value : 0;
}

// The pending error of the socket (reading it clears it), as a Windows Sockets number.
int PendingError(int socket) {
  return WinsockErrorFromErrno(IntOption(socket, SOL_SOCKET, SO_ERROR));
}

bool HasPeer(int socket) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  return getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

int BytesWaiting(int socket) {
  int count = 0;
  return ioctl(socket, FIONREAD, &count) == 0 ? count : 0;
}

constexpr uint32_t kHangUpEvents = EPOLLRDHUP | EPOLLHUP | EPOLLERR;

}  // namespace

TSocketNotifier::~TSocketNotifier() {
  for (auto& [socket, record] : records_)
    WatchDescriptor(epoll_, socket, EpollTag(TEpollSource::esSocket, socket), 0, record.watched);
}

TSocketNotifier::TRecord TSocketNotifier::Describe(int socket) {
  TRecord record;
  record.stream = IntOption(socket, SOL_SOCKET, SO_TYPE) == SOCK_STREAM;
  record.listening = IntOption(socket, SOL_SOCKET, SO_ACCEPTCONN) != 0;
  record.connected = record.listening || !record.stream || HasPeer(socket);
  return record;
}

void TSocketNotifier::Select(int socket, TWindowHandle window, uint32_t msg, uint32_t mask) {
  auto found = records_.find(socket);
  if (found == records_.end()) found = records_.emplace(socket, Describe(socket)).first;
  TRecord& record = found->second;
  record.window = window;
  record.msg = msg;
  record.mask = mask;
  // A new select reports again what is waiting now (as after a resume).
  record.readAllowed = true;
  record.acceptAllowed = true;
  record.listening = record.listening || IntOption(socket, SOL_SOCKET, SO_ACCEPTCONN) != 0;
  Update(socket, record);
}

void TSocketNotifier::ReEnable(int socket, uint32_t event) {
  const auto found = records_.find(socket);
  if (found == records_.end()) return;
  TRecord& record = found->second;
  switch (event) {
    case kFdRead:
      record.readAllowed = true;
      break;
    case kFdAccept:
      record.acceptAllowed = true;
      break;
    case kFdWrite:
      record.writeWanted = true;
      break;
    case kFdConnect:
      record.connectPending = true;
      record.peerClosed = false;
      record.closeDelivered = false;
      break;
    default:
      return;
  }
  Update(socket, record);
}

void TSocketNotifier::Forget(int socket) {
  const auto found = records_.find(socket);
  if (found != records_.end()) {
    WatchDescriptor(epoll_, socket, EpollTag(TEpollSource::esSocket, socket), 0,
                    found->second.watched);
    records_.erase(found);
  }
  queue_.RemoveIf([socket](const TQueuedEntry& entry) {
    return entry.kind == TEntryKind::ekNotification && entry.socket == socket;
  });
}

uint32_t TSocketNotifier::WantedEvents(const TRecord& record) const {
  uint32_t events = 0;
  if (record.mask == 0) return events;
  if (record.connectPending) return (record.mask & kFdConnect) ? uint32_t{EPOLLOUT} : 0;
  if (!record.connected) return events;
  const bool wantsRead = !record.listening && (record.mask & kFdRead) && record.readAllowed;
  const bool wantsAccept = record.listening && (record.mask & kFdAccept) && record.acceptAllowed;
  if (wantsRead || wantsAccept) events |= EPOLLIN;
  if ((record.mask & kFdWrite) && record.writeWanted) events |= EPOLLOUT;
  if (record.stream && (record.mask & kFdClose) && !record.closeDelivered) events |= EPOLLRDHUP;
  return events;
}

// Nothing wanted means the socket leaves the epoll set: a socket that has hung up would
// otherwise report its hang-up again and again.
void TSocketNotifier::Update(int socket, TRecord& record) {
  WatchDescriptor(epoll_, socket, EpollTag(TEpollSource::esSocket, socket), WantedEvents(record),
                  record.watched);
}

void TSocketNotifier::Notify(int socket, const TRecord& record, uint32_t event, int error) {
  TQueuedEntry entry;
  entry.kind = TEntryKind::ekNotification;
  entry.window = record.window;
  entry.socket = socket;
  entry.message.Msg = record.msg;
  entry.message.WParam = static_cast<uintptr_t>(socket);
  entry.message.LParam = MakeSelectReply(event, static_cast<uint32_t>(error));
  queue_.Push(std::move(entry));
}

void TSocketNotifier::OnReady(int socket, uint32_t events) {
  const auto found = records_.find(socket);
  if (found == records_.end()) return;
  TRecord& record = found->second;
  if (record.connectPending) {
    if (events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) ConnectFinished(socket, record);
  } else if (record.connected && record.mask != 0) {
    const bool hangUp = record.stream && (events & kHangUpEvents);
    // A datagram socket's error (an ICMP refusal) is read by its next recv.
    if (events & (EPOLLIN | (record.stream ? 0u : uint32_t{EPOLLERR})))
      Readable(socket, record, hangUp);
    if ((events & EPOLLOUT) && record.writeWanted && (record.mask & kFdWrite)) {
      record.writeWanted = false;
      Notify(socket, record, kFdWrite, 0);
    }
    if (hangUp) PeerClosed(socket, record, events);
  }
  Update(socket, record);
}

void TSocketNotifier::ConnectFinished(int socket, TRecord& record) {
  const int error = PendingError(socket);
  record.connectPending = false;
  record.connected = true;
  // A connection that never came about is not closed later: there was none.
  record.peerClosed = record.closeDelivered = error != 0;
  Notify(socket, record, kFdConnect, error);
}

void TSocketNotifier::Readable(int socket, TRecord& record, bool hangUp) {
  if (record.listening) {
    if (!record.acceptAllowed || !(record.mask & kFdAccept)) return;
    record.acceptAllowed = false;
    Notify(socket, record, kFdAccept, 0);
    return;
  }
  if (!record.readAllowed || !(record.mask & kFdRead)) return;
  record.readAllowed = false;
  // At the end of a stream the socket stays readable; only real data is news.
  if ((hangUp || record.peerClosed) && BytesWaiting(socket) == 0) return;
  Notify(socket, record, kFdRead, 0);
}

void TSocketNotifier::PeerClosed(int socket, TRecord& record, uint32_t events) {
  record.peerClosed = true;
  if (record.closeDelivered || !(record.mask & kFdClose)) return;
  record.closeDelivered = true;
  Notify(socket, record, kFdClose, (events & EPOLLERR) ? PendingError(socket) : 0);
}
