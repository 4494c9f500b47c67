#pragma once
// THttpCli: fetches one URL at a time over HTTP/1.0 and writes the body into the caller's
// RcvdStream. A request runs as a chain of socket events and of messages the client posts
// to its own hidden window; GetASync starts that chain, and Get wraps it by pumping the
// message loop until the client is ready again. Failures do not raise: they end the request and
// show in StatusCode, ReasonPhrase and the Error of OnRequestDone.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "http/http_errors.h"
#include "http/http_reply_reader.h"
#include "http/http_request_header.h"
#include "http/http_target.h"
#include "http/proxy_env.h"
#include "http/wsocket.h"
#include "runtime/stream.h"

enum THttpCliState {
  hsReady,
  hsNotConnected,
  hsConnected,
  hsDnsLookup,
  hsDnsLookupDone,
  hsWaitingHeader,
  hsWaitingBody
};
enum THttpRequest { rqNone, rqGet, rqPost, rqHead };

// The messages of the client's hidden window.
constexpr uint32_t WM_HTTP_REQUEST_DONE = WM_USER + 1;
constexpr uint32_t WM_HTTP_SET_READY = WM_USER + 2;
constexpr uint32_t WM_HTTP_START_LOOKUP = WM_USER + 3;
constexpr uint32_t WM_HTTP_TIMEOUT_TICK = WM_USER + 4;
constexpr uint32_t WM_HTTP_DEADLINE = WM_USER + 5;

// The ErrorCode values of EHttpException.
constexpr int kHttpBusy = 1;
constexpr int kHttpNothingToPost = 2;
constexpr int kHttpLineTooLong = 4;

class THttpCli;
using THttpNotifyEvent = std::function<void(THttpCli* Sender)>;
using TDocDataEvent = std::function<void(THttpCli* Sender, const char* Buffer, int Len)>;
using TOnCommand = std::function<void(THttpCli* Sender, std::string& S)>;
using TCookieRcvdEvent =
    std::function<void(THttpCli* Sender, const std::string& Data, bool& Accept)>;
using THttpRequestDone = std::function<void(THttpCli* Sender, THttpRequest RqType, uint16_t Error)>;
using TBeforeHeaderSendEvent = std::function<void(THttpCli* Sender, const std::string& Method,
                                                  std::vector<std::string>& Headers)>;

class THttpCli : public THttpRequestSettings {
 public:
  // The most a read takes at once: large enough that a fast body costs few system calls
  // (a 200 MiB body in about 200 reads and writes), small enough to stay a bounded cost.
  static constexpr int kBodyReadSize = 1024 * 1024;
  static constexpr int kPostChunkSize = 8193;
  // Location legs one request follows before it gives up.
  static constexpr int kMaxRedirects = 20;

  THttpCli();
  virtual ~THttpCli();
  THttpCli(const THttpCli&) = delete;
  THttpCli& operator=(const THttpCli&) = delete;

  // A synchronous GET (POST, HEAD) of URL: returns when the request has ended and
  // OnRequestDone has run. Raises EHttpException "HTTP component is busy" while a request
  // runs.
  void Get();
  void Post();
  void Head();
  // Start a GET (HEAD) of URL and return at once, so that several clients can run on one
  // message loop; OnRequestDone reports the end, success or failure. Raise as Get does.
  void GetASync();
  void HeadASync();
  // Ends the running request at once, as its time-out would, with WSAECONNABORTED; does
  // nothing while the client is ready.
  void Abort();

  // Streams, not owned.
  TStream* RcvdStream = nullptr;
  TStream* PostStream = nullptr;

  // What the last request gave.
  THttpCliState State() const { return state_; }
  int32_t StatusCode() const { return statusCode_; }
  const std::string& ReasonPhrase() const { return reasonPhrase_; }
  // 64 bits, so that a body of 2 GiB or more is neither miscounted nor taken for an empty
  // one.
  int64_t ContentLength() const { return contentLength_; }
  const std::string& ContentType() const { return contentType_; }
  const std::string& Location() const { return target_.Location; }
  const std::string& DocumentName() const { return documentName_; }
  const std::vector<std::string>& HeaderLines() const { return headerLines_; }
  const std::vector<std::string>& AuthChallenges() const { return authChallenges_; }
  const std::string& AcceptRanges() const { return acceptRanges_; }
  int64_t RcvdBytes() const { return rcvdBytes_; }
  int64_t SentBytes() const { return sentBytes_; }
  THttpRequest RqType() const { return rqType_; }

  bool MultiThreaded() const { return socket_.MultiThreaded(); }
  virtual void SetMultiThreaded(bool value);
  // Kept here and given to the socket for every connection: the socket forgets its SOCKS
  // settings at each close, and a request may make several connections.
  const std::string& SocksServer() const { return socks_.Server; }
  void SetSocksServer(const std::string& value) { socks_.Server = value; }
  const std::string& SocksLevel() const { return socks_.Level; }
  void SetSocksLevel(const std::string& value) { socks_.Level = value; }
  const std::string& SocksPort() const { return socks_.Port; }
  void SetSocksPort(const std::string& value) { socks_.Port = value; }
  const std::string& SocksUsercode() const { return socks_.Usercode; }
  void SetSocksUsercode(const std::string& value) { socks_.Usercode = value; }
  const std::string& SocksPassword() const { return socks_.Password; }
  void SetSocksPassword(const std::string& value) { socks_.Password = value; }
  TSocksAuthentication SocksAuthentication() const { return socks_.Authentication; }
  void SetSocksAuthentication(TSocksAuthentication value) { socks_.Authentication = value; }
  TWSocket& CtrlSocket() { return socket_; }

  // From now on each request takes its proxy from these variables, as proxy_env.h
  // describes: at its start Proxy, ProxyPort, ProxyUsername, ProxyPassword and the SOCKS
  // settings are set from the choice for its URL.
  void SetProxyEnvironment(TProxyEnvironment environment);

  // Events; an empty one is skipped.
  THttpNotifyEvent OnStateChange, OnSessionConnected, OnRequestHeaderBegin, OnRequestHeaderEnd,
      OnHeaderBegin, OnHeaderEnd, OnHeaderData, OnDocBegin, OnDocEnd, OnSendBegin, OnSendEnd,
      OnLocationChange, OnSocketError, OnTrace;
  TDocDataEvent OnDocData, OnSendData;
  TOnCommand OnCommand;
  TCookieRcvdEvent OnCookie;
  THttpRequestDone OnRequestDone;
  TBeforeHeaderSendEvent OnBeforeHeaderSend;
  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

 protected:
  virtual void HandleHeaderLine(const std::string& line);
  virtual void HandleBodyData(const char* data, int length);
  virtual void SendCommand(const std::string& Cmd);
  virtual void StartLookup();
  virtual void CloseConnection();
  virtual void ResetResponse();
  virtual void HandleLookupDone(TCustomWSocket* Sender, uint16_t Error);
  virtual void HandleClosed(TCustomWSocket* Sender, uint16_t Error);
  virtual void HandleConnected(TCustomWSocket* Sender, uint16_t Error);
  virtual void HandleDataSent(TCustomWSocket* Sender, uint16_t Error);
  virtual void HandleData(TCustomWSocket* Sender, uint16_t Error);
  virtual void FollowLocation(TCustomWSocket* Sender, uint16_t Error);
  virtual void StartRequest(THttpRequest Rq);
  virtual void RunRequest(THttpRequest Rq);
  virtual void ChangeState(THttpCliState NewState);
  virtual void SendRequest(const std::string& Method, const std::string& Version);
  virtual void WndProc(TMessage& message);
  void PostReady();

 private:
  TWSocket socket_;
  MessageLoop& loop_;
  TWindowHandle window_ = 0;
  THttpCliState state_ = hsReady;
  THttpRequest rqType_ = rqNone;
  THttpTarget target_;
  THttpCredentials credentials_;  // of this request, for their origin only
  struct TSocksSettings {
    std::string Server, Level = "5", Port, Usercode, Password;
    TSocksAuthentication Authentication = socksNoAuthentication;
  } socks_;
  bool connected_ = false;
  std::string dnsResult_;
  std::optional<TProxyEnvironment> proxyEnvironment_;
  std::string proxyProblem_;  // why the environment's proxy cannot be used
  bool tunnelOpen_ = false;   // the proxy has opened the tunnel of this connection

  // Where a request is in its life; the public State() follows the design's steps.
  enum class TStage {
    kIdle,           // no request, or one whose end has been told
    kLookup,         // the server's name is being looked up
    kConnect,        // connecting (and SOCKS and TLS on the way)
    kTunnel,         // an HTTP proxy is asked for a tunnel to the https server
    kStartFailed,    // the socket reported a failure while asked to look up or connect
    kAwaitingReply,  // the request is out, nothing of the reply has come
    kHeader,         // header lines are coming
    kBody,           // the body is coming
    kFollowing,      // closing this leg to follow the Location
    kEnded,          // the outcome is settled; the end is posted
  };
  TStage stage_ = TStage::kIdle;
  THttpReplyReader reader_;
  std::vector<char> readBuffer_;  // allocated at the first read
  int bodyDataCount_ = 0;
  std::string socksFailure_;  // what the SOCKS server said when it refused
  std::array<char, kPostChunkSize> postChunk_{};
  bool postActive_ = false;

  std::string documentName_;
  int32_t statusCode_ = 0;
  std::string reasonPhrase_;
  int64_t contentLength_ = -1;
  std::string contentType_;
  std::string acceptRanges_;
  std::vector<std::string> authChallenges_;
  std::vector<std::string> headerLines_;
  std::optional<std::string> location_;  // the reply's Location, followed at the header's end
  int64_t rcvdBytes_ = 0;
  int64_t sentBytes_ = 0;
  std::string requestText_;
  uint16_t doneError_ = 0;

  // Added guards: a stalled request times out, and redirects are counted.
  int redirectCount_ = 0;
  std::chrono::steady_clock::time_point lastProgress_;

  void WireSocket();
  void ApplySocksSettings();
  void TakeEnvironmentProxy();
  bool ProxyResolvesNames() const;
  void ConnectTo(const std::vector<std::string>& addresses);
  bool Tunnelled() const;
  void AskForTunnel();
  void TunnelData();
  void TakeTunnelPiece(const TReplyPiece& piece);
  void TunnelReplyEnded();
  void Progress() { lastProgress_ = std::chrono::steady_clock::now(); }
  void StartTimeout();
  void CheckTimeout();
  void DeadlinePassed();
  bool RefuseControlCharacters(const std::string& url);
  bool Reading() const;
  void SetOutcome(int32_t statusCode, const std::string& reason, uint16_t error);
  void EndWith(int32_t statusCode, const std::string& reason, uint16_t error);
  void EndRequest();
  void ConnectFailed();
  std::string CloseErrorText(uint16_t error);
  uint16_t SocketFailureCode();
  void CloseLeftOpen();
  void TakePieces();
  void TakePiece(const TReplyPiece& piece);
  void HeaderField(const std::string& line);
  void EndOfHeader();
  void SkipInterimReply();
  void FollowRedirect();
  void StartBody();
  void ReplyComplete();
  void ClearReplyFields();
  void NoteBodyEnd(uint16_t error);
  bool ExpectsBody() const;
  bool ReplyHasNoBody() const;
  void TriggerHeaderBegin();
  void TriggerHeaderEnd();
  static void Fire(const THttpNotifyEvent& event, THttpCli* sender) {
    if (event) event(sender);
  }
};
