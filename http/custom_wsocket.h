#pragma once
// TCustomWSocket: an event-driven TCP (and UDP) socket that never blocks its thread. The
// socket library's notifications and lookup answers arrive as messages to the component's
// hidden window on the creating thread's MessageLoop, and the component turns them into
// calls of its events. Reports go through ReportError: the OnError event when one is
// assigned (the operation then returns or goes on), else ESocketException.
//
// The layers above (SOCKS, line mode, synchronous wait) derive from it and override the
// virtual triggers, receive functions and DispatchSocketMessage; messages they post to
// the hidden window reach their DispatchSocketMessage under the same guard. ResetToDefaults
// is virtual, but in the constructor only this class's runs: a layer sets its own
// defaults in its constructor too.

#include <netinet/in.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/send_buffer.h"
#include "http/socket_address.h"
#include "http/winsock_types.h"
#include "runtime/message_loop.h"

enum TSocketState {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TWSocketOption { wsoNoReceiveLoop, wsoTcpNoDelay };

class TWSocketOptions {
 public:
  TWSocketOptions() = default;
  TWSocketOptions(std::initializer_list<TWSocketOption> options) {
    for (const TWSocketOption option : options) bits_ |= Bit(option);
  }
  bool Contains(TWSocketOption option) const { return bits_ & Bit(option); }
  TWSocketOptions Without(TWSocketOption option) const {
    TWSocketOptions result = *this;
    result.bits_ &= ~Bit(option);
    return result;
  }
  friend bool operator==(TWSocketOptions, TWSocketOptions) = default;

 private:
  static uint32_t Bit(TWSocketOption option) { return 1u << option; }
  uint32_t bits_ = 0;
};

// The messages of the hidden window.
constexpr uint32_t WM_ASYNCSELECT = WM_USER + 1;
constexpr uint32_t WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
constexpr uint32_t WM_ASYNCGETHOSTBYADDR = WM_USER + 3;
constexpr uint32_t WM_CLOSE_DELAYED = WM_USER + 4;
constexpr uint32_t WM_WSOCKET_RELEASE = WM_USER + 5;
constexpr uint32_t WM_TRIGGER_EXCEPTION = WM_USER + 6;
constexpr uint32_t WM_CONNECT_TIMEOUT = WM_USER + 7;

class TCustomWSocket;
using TDataAvailable = std::function<void(TCustomWSocket* Sender, uint16_t Error)>;
using TDataSent = TDataAvailable;
using TSessionClosed = TDataAvailable;
using TSessionAvailable = TDataAvailable;
using TSessionConnected = TDataAvailable;
using TDnsLookupDone = TDataAvailable;
using TSendData = std::function<void(TCustomWSocket* Sender, int32_t BytesSent)>;
using TChangeState =
    std::function<void(TCustomWSocket* Sender, TSocketState OldState, TSocketState NewState)>;
using TBgExceptionEvent =
    std::function<void(TCustomWSocket* Sender, const std::exception& E, bool& CanClose)>;
using TNotifyEvent = std::function<void(TCustomWSocket* Sender)>;

class TCustomWSocket {
 public:
  // The capacity of new send-queue chunks: one TCP segment on Ethernet.
  static constexpr int32_t kDefaultChunkSize = 1460;
  // RFC 8305's connection attempt delay (curl waits 200 ms): an address that has not
  // connected within it gets a rival attempt at the next address, and it keeps trying.
  static constexpr uint32_t kDefaultConnectAttemptDelayMs = 250;

  TCustomWSocket();
  virtual ~TCustomWSocket();
  TCustomWSocket(const TCustomWSocket&) = delete;
  TCustomWSocket& operator=(const TCustomWSocket&) = delete;

  // Free later: the component closes and is destroyed from the message loop, after the
  // handler that asks for it has returned.
  static void Release(std::unique_ptr<TCustomWSocket> socket);

  // Properties.
  const std::string& Addr() const { return addrStr_; }
  void SetAddr(const std::string& value);
  // Addr for a host whose numeric addresses are known already (its DnsResultList, say):
  // Addr becomes the first of them, and Connect tries them all in this order.
  void SetAddrList(const std::vector<std::string>& addresses);
  const std::string& Port() const { return portStr_; }
  virtual void SetPort(const std::string& value);
  const std::string& Proto() const { return protoStr_; }
  virtual void SetProto(const std::string& value);
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const std::string& value);
  const std::string& LocalPort() const { return localPortStr_; }
  void SetLocalPort(const std::string& value);
  std::string PeerAddr() { return GetPeerAddr(); }
  std::string PeerPort() { return GetPeerPort(); }
  const std::string& DnsResult() const { return dnsResult_; }
  const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
  TSocketState State() const { return state_; }
  int32_t ReadCount() const { return readCount_; }
  int32_t RcvdCount() { return GetRcvdCount(); }
  int32_t LastError() const { return lastError_; }
  bool MultiThreaded() const { return multiThreaded_; }
  void SetMultiThreaded(bool value) { multiThreaded_ = value; }
  bool MultiCast() const { return multiCast_; }
  void SetMultiCast(bool value) { multiCast_ = value; }
  const std::string& MultiCastAddrStr() const { return multiCastAddrStr_; }
  void SetMultiCastAddrStr(const std::string& value) { multiCastAddrStr_ = value; }
  int32_t MultiCastIpTTL() const { return multiCastIpTTL_; }
  void SetMultiCastIpTTL(int32_t value) { multiCastIpTTL_ = value; }
  bool ReuseAddr() const { return reuseAddr_; }
  void SetReuseAddr(bool value) { reuseAddr_ = value; }
  TWSocketOptions ComponentOptions() const { return componentOptions_; }
  void SetComponentOptions(TWSocketOptions value) { componentOptions_ = value; }
  int32_t FlushTimeout() const { return flushTimeout_; }
  void SetFlushTimeout(int32_t value) { flushTimeout_ = value; }
  TSocketSendFlags SendFlags();
  void SetSendFlags(TSocketSendFlags value);
  TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
  void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
  int32_t LingerTimeout() const { return lingerTimeout_; }
  void SetLingerTimeout(int32_t value) { lingerTimeout_ = value; }
  TSocket HSocket() const { return hSocket_; }
  TWindowHandle Handle() const { return window_; }
  int32_t ChunkSize() const { return chunkSize_; }
  // The text of the last report (also when OnError took it instead of an exception).
  const std::string& ErrorMessage() const { return errorMessage_; }
  // Addr may stand for several addresses (a host name, or a layer's list): Connect tries
  // them in turn, going on to the next at once when one refuses or cannot be reached, and
  // beside it when one has not connected within ConnectAttemptDelay milliseconds: the
  // attempts made so far go on, and the first to connect is the connection. Each waits as
  // long as the system lets it.
  uint32_t ConnectAttemptDelay() const { return connectAttemptDelayMs_; }
  void SetConnectAttemptDelay(uint32_t milliseconds) { connectAttemptDelayMs_ = milliseconds; }
  // The address and port being connected to, or the last connect went to: "127.0.0.1:80",
  // "[::1]:80".
  const std::string& LastAddrTried() const { return lastAddrTried_; }
  // Set when PumpMessages of a multi-threaded component took a quit message.
  bool Terminated() const { return terminated_; }

  // Events; an empty one is skipped.
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TSendData OnSendData;
  TSessionClosed OnSessionClosed;
  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TChangeState OnChangeState;
  TDnsLookupDone OnDnsLookupDone;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;

  // Operations.
  virtual void Connect();
  virtual void CloseConnection();
  virtual void CloseDelayed();
  virtual void AbortConnection();
  virtual void Flush();
  virtual void WaitForClose();
  virtual void Listen();
  virtual TSocket Accept();
  virtual int Receive(void* buffer, int size);
  virtual std::string ReceiveStr();
  virtual int ReceiveFrom(void* buffer, int size, sockaddr_in& from, int& fromLength);
  virtual int Send(const void* data, int length);
  virtual int SendTo(const sockaddr_in& destination, const void* data, int length);
  virtual int SendStr(const std::string& text);
  virtual void DnsLookup(const std::string& HostName);
  virtual void ReverseDnsLookup(const std::string& HostAddr);
  virtual void CancelDnsLookup();
  virtual int GetPeerName(sockaddr_in& name);
  virtual int GetSockName(sockaddr_in& name);
  virtual void Dup(TSocket NewHSocket);
  virtual void ShutdownSocket(int How);
  virtual void Pause();
  virtual void Resume();
  virtual void PumpMessages();
  // The local address and port of a bound, connected or listening socket, else "error".
  virtual std::string GetXPort();
  virtual std::string GetXAddr();

 protected:
  virtual void DispatchSocketMessage(TMessage& message);
  virtual void ResetToDefaults();
  // The one close routine.
  virtual void Disconnect(bool Shut, uint16_t Error);
  virtual int32_t GetRcvdCount();
  virtual bool BindSocket();
  virtual int SendChunk(const void* data, int length);
  virtual void ReportError(const std::string& message);
  virtual void HandleBackgroundError(const std::exception& E);
  // Returns whether a handler is assigned.
  virtual bool TriggerDataAvailable(uint16_t Error);
  virtual void TriggerSessionAvailable(uint16_t Error);
  virtual void TriggerSessionConnected(uint16_t Error);
  virtual void TriggerSessionClosed(uint16_t Error);
  virtual void TriggerDataSent(uint16_t Error);
  virtual void TriggerChangeState(TSocketState OldState, TSocketState NewState);
  virtual void TriggerDnsLookupDone(uint16_t Error);
  virtual void TriggerError();
  virtual int DoRecv(void* buffer, int size, int flags);
  virtual int DoRecvFrom(void* buffer, int size, int flags, sockaddr_in& from, int& fromLength);
  virtual std::string GetPeerAddr();
  virtual std::string GetPeerPort();

  void RaiseSocketError(const std::string& functionName);
  void ChangeState(TSocketState NewState);
  void ReceiveLoop(uint16_t Error, TWSocketOptions options);
  void TryToSend();
  void DiscardSendQueue();
  bool SetLingerOption();
  bool Destroying() const { return destroying_; }
  MessageLoop& Loop() { return loop_; }

  // The remote addresses resolved from Addr (or set by a layer) in the order Connect tries
  // them, the port resolved from Port (host order), and what has been resolved.
  std::vector<TSocketAddress> remoteAddrs_;
  uint16_t remotePort_ = 0;
  bool addrResolved_ = false;
  bool portResolved_ = false;
  bool protoResolved_ = false;
  bool localPortResolved_ = false;
  bool allSent_ = true;
  bool paused_ = false;
  bool closeNotified_ = false;

 private:
  MessageLoop& loop_;
  std::thread::id threadId_;
  TWindowHandle window_ = 0;
  std::deque<TBuffer> sendQueue_;
  int32_t chunkSize_ = kDefaultChunkSize;
  int sendFlag_ = 0;
  int32_t lastError_ = 0;
  std::string errorMessage_;

  // The asynchronous lookup and the slot for an answer that comes before its handle.
  THostEntry dnsLookupBuffer_;
  TAsyncHandle dnsLookupHandle_ = 0;
  bool earlyReplyPending_ = false;
  TMessage earlyReply_;

  std::string addrStr_;
  std::vector<TSocketAddress> addrListGiven_;  // by SetAddrList, for Addr
  bool addrAssigned_ = false;
  int addrFormat_ = AF_INET;
  int proto_ = IPPROTO_TCP;
  bool protoAssigned_ = true;
  std::string protoStr_ = "tcp";
  std::string portStr_;
  bool portAssigned_ = false;
  uint16_t portNum_ = 0;
  std::string localPortStr_ = "0";
  uint16_t localPortNum_ = 0;
  std::string localAddr_ = "0.0.0.0";
  int type_ = SOCK_STREAM;
  TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
  int32_t lingerTimeout_ = 0;
  int32_t readCount_ = 0;
  int64_t bytesTaken_ = 0;  // taken from the system, to see whether a read handler made progress
  uint32_t selectEvent_ = 0;
  TSocket hSocket_ = INVALID_SOCKET;
  TSocketState state_ = wsClosed;
  bool terminated_ = false;
  bool destroying_ = false;
  std::unique_ptr<TCustomWSocket> releasedSelf_;  // owned by itself between Release and 1029

  std::string dnsResult_;
  std::vector<std::string> dnsResultList_;
  bool multiThreaded_ = false;
  bool multiCast_ = false;
  std::string multiCastAddrStr_;
  int32_t multiCastIpTTL_ = 1;
  bool reuseAddr_ = false;
  TWSocketOptions componentOptions_;
  int32_t flushTimeout_ = 60;
  uint32_t connectAttemptDelayMs_ = kDefaultConnectAttemptDelayMs;
  size_t addrIndex_ = 0;  // the address of remoteAddrs_ being connected to
  // Attempts at earlier addresses still connecting beside the current one (hSocket_).
  struct TConnectAttempt {
    TSocket handle;
    size_t addrIndex;
  };
  std::vector<TConnectAttempt> earlierAttempts_;
  // The id of the running connect timer, new for each attempt so that an expiry queued
  // before its timer was killed is known as stale; 0 when none runs.
  uintptr_t connectTimerId_ = 0;
  uintptr_t lastConnectTimerId_ = 0;
  std::string lastAddrTried_;

  void WndProc(TMessage& message);
  void WMASyncSelect(const TMessage& message);
  void WMAsyncGetHostByName(const TMessage& message);
  void WMAsyncGetHostByAddr(const TMessage& message);
  bool ResolveForConnect();
  void ResolveProto();
  void ResolvePort();
  void ResolveAddr();
  TSocketAddress Remote() const;
  bool PeerName(TSocketAddress& peer, const char* functionName);
  bool LocalName(TSocketAddress& local);
  void StartDnsLookup(TAsyncHandle handle, const std::string& name);
  bool TakeLookupReply(const TMessage& message);
  bool SetBooleanOption(int level, int option, const char* functionName);
  bool ApplyDatagramOptions();
  bool ApplyStreamOptions();
  bool SetNativeOption(int level, int option, const void* value, int length,
                       const char* functionName);
  void KeepFamilyOfLocalAddr();
  TSocketAddress LocalBindAddr() const;
  bool OpenSocket();
  bool ApplyOptions();
  void StartConnect();
  bool StartNextAttempt(bool keepCurrent);
  bool ResumeEarlierAttempt();
  bool TakeEarlierAttemptEvent(const TMessage& message);
  void CloseEarlierAttempts();
  void ConnectTimedOut(const TMessage& message);
  void StartConnectTimer();
  void StopConnectTimer();
  void DropSocket();
  void QueueData(const void* data, int length);
  int CountReceived(int count);
  bool CheckClosedFor(const char* propertyName);
  void AssignText(const std::string& value, const char* propertyName, std::string& text,
                  bool& assigned, bool& resolved);
  void WaitForMessages();
};
