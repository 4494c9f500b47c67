// THttpCli's proxies: the choice from the environment, SOCKS servers that resolve names,
// and the tunnel an HTTP proxy opens for https.

#include "http/http_cli.h"
#include "http/http_reply_lines.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr char kBadTunnelReplyText[] = "Bad reply from the proxy to CONNECT";
constexpr int kFirstSuccessStatus = 200;
constexpr int kFirstRedirectStatus = 300;

}  // namespace

void THttpCli::SetProxyEnvironment(TProxyEnvironment environment) {
  proxyEnvironment_ = std::move(environment);
}

void THttpCli::TakeEnvironmentProxy() {
  proxyProblem_.clear();
  if (!proxyEnvironment_) return;
  const TProxyChoice choice = ChooseProxy(URL, *proxyEnvironment_);
  proxyProblem_ = choice.Problem;
  const bool http = choice.Kind == TProxyKind::kHttp;
  Proxy = http ? choice.Host : "";
  ProxyPort = http ? choice.Port : THttpRequestSettings().ProxyPort;
  ProxyUsername = http ? choice.Username : "";
  ProxyPassword = http ? choice.Password : "";
  socks_ = TSocksSettings();
  if (choice.Kind != TProxyKind::kSocks) return;
  socks_.Server = choice.Host;
  socks_.Port = choice.Port;
  socks_.Level = choice.SocksLevel;
  socks_.Usercode = choice.Username;
  socks_.Password = choice.Password;
  if (!choice.Username.empty()) socks_.Authentication = socksAuthenticateUsercode;
}

// SOCKS 5h and 4A are given the host's name: the station may have no name server of its
// own.
bool THttpCli::ProxyResolvesNames() const {
  const std::string level = UpperCase(socks_.Level);
  return !socks_.Server.empty() && (level == "5H" || level == "4A");
}

bool THttpCli::Tunnelled() const {
  return target_.Secure && !Proxy.empty();
}

void THttpCli::AskForTunnel() {
  stage_ = TStage::kTunnel;
  reader_.Reset();
  headerLines_.clear();
  std::string request;
  for (const std::string& line : TunnelRequestLines(*this, TunnelAuthority(target_)))
    request += line + "\r\n";
  request += "\r\n";
  socket_.Send(request.data(), static_cast<int>(request.size()));
}

// Nothing but the proxy's reply can come before our TLS hello: all that is read is its.
void THttpCli::TunnelData() {
  Progress();
  if (readBuffer_.empty()) readBuffer_.resize(kBodyReadSize);
  const int count = socket_.Receive(readBuffer_.data(), kBodyReadSize);
  if (count <= 0) return;
  reader_.Feed(readBuffer_.data(), static_cast<size_t>(count));
  TReplyPiece piece;
  while (stage_ == TStage::kTunnel && reader_.Next(piece)) TakeTunnelPiece(piece);
}

void THttpCli::TakeTunnelPiece(const TReplyPiece& piece) {
  switch (piece.kind) {
    case TReplyPieceKind::kHeaderLine: {
      const std::string line(piece.bytes);
      if (headerLines_.empty()) {
        statusCode_ = 0;
        try {
          ParseStatusLine(line, statusCode_, reasonPhrase_);
        } catch (const EConvertError&) {
          statusCode_ = 0;  // judged at the header's end
        }
      }
      headerLines_.push_back(line);
      break;
    }
    case TReplyPieceKind::kHeaderEnd:
    case TReplyPieceKind::kBadContentLength:
    case TReplyPieceKind::kBadChunk:
    case TReplyPieceKind::kBody:
      TunnelReplyEnded();
      break;
    case TReplyPieceKind::kHeaderTooLarge:
      EndWith(kFailedRequestStatus, kHttpHeaderTooLargeText, kHttpErrorHeaderTooLarge);
      break;
    case TReplyPieceKind::kHeaderlessDocument:
    case TReplyPieceKind::kLineTooLong:
      EndWith(kFailedRequestStatus, kBadTunnelReplyText, kHttpErrorProxyRefused);
      break;
  }
}

// A refusal ends the request with the proxy's status and reason; a success starts TLS
// with the origin, after which the connection counts as made.
void THttpCli::TunnelReplyEnded() {
  if (statusCode_ == 0) {
    EndWith(kFailedRequestStatus, kBadTunnelReplyText, kHttpErrorProxyRefused);
    return;
  }
  if (statusCode_ < kFirstSuccessStatus || statusCode_ >= kFirstRedirectStatus) {
    EndWith(statusCode_, reasonPhrase_, kHttpErrorProxyRefused);
    return;
  }
  tunnelOpen_ = true;
  headerLines_.clear();
  statusCode_ = 0;
  reasonPhrase_.clear();
  stage_ = TStage::kConnect;
  socket_.StartTlsOnConnection();
}
