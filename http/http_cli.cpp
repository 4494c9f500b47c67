#include "http/http_cli.h"

#include <algorithm>

#include "http/socket_error_text.h"
#include "http/url_helpers.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr char kHttpVersion[] = "1.0";
constexpr char kBusyText[] = "HTTP component is busy";
constexpr char kNothingToPostText[] = "HTTP component has nothing to post";
constexpr char kCantResolveText[] = "can't resolve hostname to IP address";
constexpr char kCantConnectText[] = "can't connect: ";
constexpr char kControlCharacterText[] = "URL holds a control character";
constexpr uintptr_t kTimeoutTimerId = 1;
constexpr uintptr_t kDeadlineTimerId = 2;
constexpr uint32_t kMillisecondsPerSecond = 1000;
constexpr uint32_t kTimeoutTickMs = 1000;
// The longest Get sleeps between two pumps: events of a GUI toolkit, which do not wake
// the message loop, are handled at least this often.
constexpr int kPumpWaitMs = 10;

}  // namespace

THttpCli::THttpCli() : loop_(MessageLoop::Current()) {
  window_ = loop_.AllocateHWnd([this](TMessage& message) { WndProc(message); });
  WireSocket();
}

THttpCli::~THttpCli() {
  // A client that outlives its thread's loop (a static one) finds its window and timers
  // gone with the loop, as its socket does.
  if (!MessageLoop::CurrentEnded()) {
    loop_.KillTimer(window_, kTimeoutTimerId);
    loop_.KillTimer(window_, kDeadlineTimerId);
    loop_.DeallocateHWnd(window_);
  }
  // The socket outlives this body: it must call nothing of the client any more.
  socket_.OnSessionClosed = nullptr;
  socket_.OnDataAvailable = nullptr;
  socket_.OnSessionConnected = nullptr;
  socket_.OnDataSent = nullptr;
  socket_.OnDnsLookupDone = nullptr;
  socket_.OnError = nullptr;
  socket_.OnSocksError = nullptr;
  socket_.OnSocksConnected = nullptr;
}

void THttpCli::WireSocket() {
  socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { HandleClosed(s, e); };
  socket_.OnDataAvailable = [this](TCustomWSocket* s, uint16_t e) { HandleData(s, e); };
  socket_.OnSessionConnected = [this](TCustomWSocket* s, uint16_t e) { HandleConnected(s, e); };
  socket_.OnDataSent = [this](TCustomWSocket* s, uint16_t e) { HandleDataSent(s, e); };
  socket_.OnDnsLookupDone = [this](TCustomWSocket* s, uint16_t e) { HandleLookupDone(s, e); };
  socket_.OnError = [this](TCustomWSocket*) {
    if (stage_ == TStage::kLookup || stage_ == TStage::kConnect) stage_ = TStage::kStartFailed;
    Fire(OnSocketError, this);
  };
  socket_.OnSocksError = [this](TCustomWSocket* s, int32_t e, const std::string& m) {
    socksFailure_ = m;
    if (OnSocksError) OnSocksError(s, e, m);
  };
  socket_.OnSocksConnected = [this](TCustomWSocket* s, uint16_t e) {
    if (OnSocksConnected) OnSocksConnected(s, e);
  };
}

void THttpCli::ApplySocksSettings() {
  socket_.SetSocksServer(socks_.Server);
  socket_.SetSocksLevel(socks_.Level);
  socket_.SetSocksPort(socks_.Port);
  socket_.SetSocksUsercode(socks_.Usercode);
  socket_.SetSocksPassword(socks_.Password);
  socket_.SetSocksAuthentication(socks_.Authentication);
}

void THttpCli::SetMultiThreaded(bool value) {
  socket_.SetMultiThreaded(value);
}

// Requests.

void THttpCli::Get() {
  RunRequest(rqGet);
}
void THttpCli::Post() {
  RunRequest(rqPost);
}
void THttpCli::Head() {
  RunRequest(rqHead);
}

void THttpCli::GetASync() {
  StartRequest(rqGet);
}
void THttpCli::HeadASync() {
  StartRequest(rqHead);
}

void THttpCli::Abort() {
  EndWith(kFailedRequestStatus, SocketErrorWithCode(WSAECONNABORTED), WSAECONNABORTED);
}

void THttpCli::RunRequest(THttpRequest Rq) {
  StartRequest(Rq);
  while (state_ != hsReady) {
    socket_.PumpMessages();
    if (state_ != hsReady) loop_.WaitMessage(kPumpWaitMs);
  }
}

void THttpCli::StartRequest(THttpRequest Rq) {
  if (state_ != hsReady) throw EHttpException(kBusyText, kHttpBusy);
  if (Rq == rqPost && PostStream == nullptr)
    throw EHttpException(kNothingToPostText, kHttpNothingToPost);
  CloseLeftOpen();
  socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { HandleClosed(s, e); };
  ChangeState(hsNotConnected);
  rqType_ = Rq;
  ResetResponse();
  credentials_ = {Username, Password, {}};
  TakeEnvironmentProxy();
  const std::string documentPath = StartTarget(URL, Proxy, ProxyPort, target_, credentials_);
  documentName_ = DeriveDocumentName(documentPath);
  StartTimeout();
  stage_ = TStage::kLookup;
  if (RefuseControlCharacters(URL)) return;
  StartLookup();
}

// A CR or LF would end the request line or a header line early and begin another: such a
// URL is refused before anything is sent.
bool THttpCli::RefuseControlCharacters(const std::string& url) {
  if (!HoldsControlCharacter(url)) return false;
  EndWith(kFailedRequestStatus, kControlCharacterText, kHttpErrorControlCharacter);
  return true;
}

// A reply with Content-Length 0 ended its request with the connection still open.
void THttpCli::CloseLeftOpen() {
  if (socket_.State() == wsClosed) return;
  socket_.OnSessionClosed = nullptr;
  socket_.CloseConnection();
  connected_ = false;
}

void THttpCli::ResetResponse() {
  ClearReplyFields();
  doneError_ = 0;
  documentName_.clear();
  rcvdBytes_ = sentBytes_ = 0;
  bodyDataCount_ = 0;
  postActive_ = false;
  redirectCount_ = 0;
  target_.Location = UrlWithoutPassword(URL);
}

void THttpCli::StartLookup() {
  dnsResult_.clear();
  stage_ = TStage::kLookup;
  ChangeState(hsDnsLookup);
  Progress();
  tunnelOpen_ = false;
  if (!proxyProblem_.empty()) {
    EndWith(kFailedRequestStatus, proxyProblem_, kHttpErrorProxyUnusable);
    return;
  }
  if (ProxyResolvesNames()) {
    ConnectTo({target_.ServerName});
    return;
  }
  try {
    socket_.SetLocalAddr(LocalAddr);
    socket_.DnsLookup(target_.ServerName);
  } catch (const std::exception& E) {
    EndWith(kFailedRequestStatus, E.what(), SocketFailureCode());
    return;
  }
  // A lookup that could not be started is reported, and no answer follows.
  if (stage_ == TStage::kStartFailed)
    EndWith(kFailedRequestStatus, socket_.ErrorMessage(), SocketFailureCode());
}

void THttpCli::HandleLookupDone(TCustomWSocket*, uint16_t Error) {
  // A lookup that fails at once has reported its failure already.
  if (stage_ != TStage::kLookup && stage_ != TStage::kStartFailed) return;
  Progress();
  if (Error != 0) {
    EndWith(kFailedRequestStatus, kCantResolveText, Error);
    return;
  }
  ConnectTo(socket_.DnsResultList());
}

// addresses: the server's, or its name for a SOCKS server that resolves it.
void THttpCli::ConnectTo(const std::vector<std::string>& addresses) {
  dnsResult_ = addresses.empty() ? std::string() : addresses.front();
  ChangeState(hsDnsLookupDone);
  socket_.SetAddrList(addresses);
  socket_.SetLocalAddr(LocalAddr);
  socket_.SetPort(target_.ServerPort);
  socket_.SetProto("tcp");
  // Through a tunnel TLS starts once the proxy has opened it, and is for the origin.
  socket_.SetSslEnable(target_.Secure && !Tunnelled());
  socket_.SetSslServerName(Tunnelled() ? target_.HostHeaderValue : target_.ServerName);
  socksFailure_.clear();
  stage_ = TStage::kConnect;
  ApplySocksSettings();  // an invalid level is reported as a failed start
  try {
    socket_.Connect();
  } catch (const std::exception&) {
    ConnectFailed();
    return;
  }
  // A failure reported through OnError instead: no connect event will come.
  if (stage_ != TStage::kStartFailed) return;
  const TSocketState state = socket_.State();
  if (state == wsConnecting || state == wsConnected)
    stage_ = TStage::kConnect;
  else
    ConnectFailed();
}

void THttpCli::ConnectFailed() {
  const std::string cause =
      socket_.LastError() != 0 ? SocketErrorWithCode(socket_.LastError()) : socket_.ErrorMessage();
  EndWith(kFailedRequestStatus, kCantConnectText + cause, SocketFailureCode());
}

// The socket's error of a failed call; one that reported only a message (a bad port, say)
// was given an invalid argument.
uint16_t THttpCli::SocketFailureCode() {
  const int32_t error = socket_.LastError();
  return static_cast<uint16_t>(error != 0 ? error : WSAEINVAL);
}

void THttpCli::HandleConnected(TCustomWSocket* Sender, uint16_t Error) {
  if (stage_ != TStage::kConnect) return;
  Progress();
  if (Error != 0) {
    std::string reason = SocketErrorWithCode(Error) + " connecting to " + socket_.LastAddrTried();
    if (Error == kSslError) reason = socket_.SslErrorText();
    if (!socksFailure_.empty()) reason = socksFailure_;
    EndWith(kFailedRequestStatus, reason, Error);
    return;
  }
  if (Tunnelled() && !tunnelOpen_) {
    AskForTunnel();
    return;
  }
  connected_ = true;
  stage_ = TStage::kAwaitingReply;
  reader_.Reset();
  ChangeState(hsConnected);
  Fire(OnSessionConnected, this);
  ChangeState(hsWaitingHeader);
  try {
    switch (rqType_) {
      case rqGet:
        SendRequest("GET", kHttpVersion);
        break;
      case rqPost:
        SendRequest("POST", kHttpVersion);
        Fire(OnSendBegin, this);
        postActive_ = true;
        HandleDataSent(Sender, 0);
        break;
      case rqHead:
        SendRequest("HEAD", kHttpVersion);
        break;
      case rqNone:
        break;
    }
  } catch (...) {
    CloseConnection();
  }
}

void THttpCli::SendRequest(const std::string& Method, const std::string& Version) {
  requestText_.clear();
  Fire(OnRequestHeaderBegin, this);
  THttpRequestLine request;
  request.Method = Method;
  request.Version = Version;
  request.RequestPath =
      PercentEncodeUnsafe(Tunnelled() ? TunnelledRequestPath(target_) : target_.RequestPath);
  request.HostHeaderValue = HostField(target_);
  request.ToProxy = !Proxy.empty() && !Tunnelled();
  if (credentials_.Origin == TargetOrigin(target_)) {
    request.Username = credentials_.Username;
    request.Password = credentials_.Password;
  }
  if (Method == "POST") request.PostSize = PostStream->Size();
  std::vector<std::string> lines = RequestHeaderLines(*this, request);
  ContentRangeBegin.clear();
  ContentRangeEnd.clear();
  acceptRanges_.clear();
  if (OnBeforeHeaderSend) OnBeforeHeaderSend(this, Method, lines);
  for (const std::string& line : lines) SendCommand(line);
  Fire(OnRequestHeaderEnd, this);
  SendCommand("");
  socket_.Send(requestText_.data(), static_cast<int>(requestText_.size()));
  requestText_.clear();
}

void THttpCli::SendCommand(const std::string& Cmd) {
  std::string S = Cmd;
  if (OnCommand) OnCommand(this, S);
  requestText_ += S;
  requestText_ += "\r\n";
}

void THttpCli::HandleDataSent(TCustomWSocket*, uint16_t) {
  Progress();
  if (!postActive_) return;
  const int64_t count = PostStream->Read(postChunk_.data(), kPostChunkSize);
  if (count <= 0) {
    postActive_ = false;
    Fire(OnSendEnd, this);
    return;
  }
  sentBytes_ += count;
  if (OnSendData) OnSendData(this, postChunk_.data(), static_cast<int>(count));
  socket_.Send(postChunk_.data(), static_cast<int>(count));
}

void THttpCli::CloseConnection() {
  socket_.CloseConnection();
  connected_ = false;
}

// The end of a request.

void THttpCli::ChangeState(THttpCliState NewState) {
  if (NewState == state_) return;
  state_ = NewState;
  Fire(OnStateChange, this);
  if (NewState != hsReady) return;
  loop_.KillTimer(window_, kTimeoutTimerId);
  loop_.KillTimer(window_, kDeadlineTimerId);
  loop_.PostMessage(window_, WM_HTTP_REQUEST_DONE, 0, 0);
}

void THttpCli::PostReady() {
  stage_ = TStage::kEnded;
  loop_.PostMessage(window_, WM_HTTP_SET_READY, 0, 0);
}

void THttpCli::SetOutcome(int32_t statusCode, const std::string& reason, uint16_t error) {
  statusCode_ = statusCode;
  reasonPhrase_ = reason;
  doneError_ = error;
}

// Ends the running request with the given outcome, whatever stage it is in.
void THttpCli::EndWith(int32_t statusCode, const std::string& reason, uint16_t error) {
  if (stage_ == TStage::kEnded || stage_ == TStage::kIdle) return;
  SetOutcome(statusCode, reason, error);
  // Neither the close nor a cancelled lookup's answer may overwrite the outcome.
  socket_.OnSessionClosed = nullptr;
  socket_.OnDnsLookupDone = nullptr;
  socket_.AbortConnection();
  connected_ = false;
  socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { HandleClosed(s, e); };
  socket_.OnDnsLookupDone = [this](TCustomWSocket* s, uint16_t e) { HandleLookupDone(s, e); };
  EndRequest();
}

// Tells the end of the header or of the document that the close cut, and posts the end.
void THttpCli::EndRequest() {
  if (stage_ == TStage::kHeader)
    TriggerHeaderEnd();
  else if (bodyDataCount_ > 0)
    Fire(OnDocEnd, this);
  PostReady();
}

// The stall time-out is checked every tick; the deadline, redirects included, is one timer
// from the start of the request.
void THttpCli::StartTimeout() {
  Progress();
  if (MaxTime > 0)
    loop_.SetTimer(window_, kDeadlineTimerId, WM_HTTP_DEADLINE,
                   static_cast<uint32_t>(MaxTime) * kMillisecondsPerSecond);
  if (Timeout <= 0) return;
  const uint32_t interval =
      std::min<uint32_t>(kTimeoutTickMs, static_cast<uint32_t>(Timeout) * kMillisecondsPerSecond);
  loop_.SetTimer(window_, kTimeoutTimerId, WM_HTTP_TIMEOUT_TICK, interval);
}

void THttpCli::CheckTimeout() {
  if (state_ == hsReady || Timeout <= 0) return;
  if (std::chrono::steady_clock::now() - lastProgress_ < std::chrono::seconds(Timeout)) return;
  std::string reason = SocketErrorWithCode(WSAETIMEDOUT);
  // The address that never answered, as a refused one is named.
  if (stage_ == TStage::kConnect && socket_.State() == wsConnecting)
    reason += " connecting to " + socket_.LastAddrTried();
  EndWith(kFailedRequestStatus, reason, WSAETIMEDOUT);
}

void THttpCli::DeadlinePassed() {
  if (state_ == hsReady) return;
  EndWith(kFailedRequestStatus, "Transfer took longer than " + IntToStr(MaxTime) + " s",
          kHttpErrorDeadline);
}

// Runs without a guard: exceptions of the user's handlers leave the message pump.
void THttpCli::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_HTTP_REQUEST_DONE:
      if (OnRequestDone) OnRequestDone(this, rqType_, doneError_);
      break;
    case WM_HTTP_SET_READY:
      stage_ = TStage::kIdle;
      ChangeState(hsReady);
      break;
    case WM_HTTP_START_LOOKUP:
      // A leg that was ended meanwhile (by the time-out) starts no lookup.
      if (stage_ == TStage::kFollowing) StartLookup();
      break;
    case WM_HTTP_TIMEOUT_TICK:
      CheckTimeout();
      break;
    case WM_HTTP_DEADLINE:
      DeadlinePassed();
      break;
    default:
      break;
  }
}
