// The receive side of THttpCli: feeding the reply reader, the header fields, the body, the
// close and the Location legs.

#include "http/http_cli.h"
#include "http/http_reply_lines.h"
#include "http/socket_error_text.h"
#include "http/url_helpers.h"
#include "runtime/conversion.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr char kLineTooLongText[] = "HTTP line too long";
constexpr char kTooManyRedirectionsText[] = "Too many redirections";
constexpr char kBadContentLengthText[] = "Bad Content-Length in reply";
constexpr char kEmptyReplyText[] = "Empty reply from server";
constexpr char kProxyClosedText[] = "The proxy closed the connection before opening a tunnel";
constexpr char kHtmlType[] = "text/html";
constexpr int kFirstErrorStatus = 400;
// Replies to these carry no body, whatever their Content-Length says.
constexpr int kNoContentStatus = 204;
constexpr int kNotModifiedStatus = 304;
constexpr int kFirstFinalStatus = 200;

std::string TruncatedText(int64_t missing, int64_t expected) {
  return "Transfer closed with " + IntToStr(missing) + " of " + IntToStr(expected) +
         " bytes missing";
}

}  // namespace

bool THttpCli::Reading() const {
  return stage_ == TStage::kAwaitingReply || stage_ == TStage::kHeader ||
         stage_ == TStage::kHeaderWithLocation || stage_ == TStage::kBody;
}

void THttpCli::HandleData(TCustomWSocket*, uint16_t) {
  if (stage_ == TStage::kTunnel) {
    TunnelData();
    return;
  }
  if (!Reading()) {
    // Bytes behind a reply that has ended belong to no request: left waiting they would
    // be offered again and again.
    if (stage_ == TStage::kEnded || stage_ == TStage::kIdle) CloseLeftOpen();
    return;
  }
  Progress();
  if (readBuffer_.empty()) readBuffer_.resize(kBodyReadSize);
  const int count = socket_.Receive(readBuffer_.data(), kBodyReadSize);
  if (count <= 0) return;
  reader_.Feed(readBuffer_.data(), static_cast<size_t>(count));
  TakePieces();
  if (stage_ == TStage::kEnded && reader_.HasInput()) CloseLeftOpen();
  // Of an error reply only what came with the header is stored.
  if (stage_ == TStage::kBody && statusCode_ >= kFirstErrorStatus) socket_.CloseConnection();
}

void THttpCli::TakePieces() {
  TReplyPiece piece;
  while (Reading() && reader_.Next(piece)) TakePiece(piece);
}

void THttpCli::TakePiece(const TReplyPiece& piece) {
  switch (piece.kind) {
    case TReplyPieceKind::kHeaderLine:
      HandleHeaderLine(std::string(piece.bytes));
      break;
    case TReplyPieceKind::kHeaderEnd:
      EndOfHeader();
      break;
    case TReplyPieceKind::kHeaderlessDocument:
      if (stage_ == TStage::kAwaitingReply) TriggerHeaderBegin();
      if (contentType_.empty()) contentType_ = kHtmlType;
      StartBody();
      HandleBodyData(piece.bytes.data(), static_cast<int>(piece.bytes.size()));
      break;
    case TReplyPieceKind::kBody:
      HandleBodyData(piece.bytes.data(), static_cast<int>(piece.bytes.size()));
      break;
    case TReplyPieceKind::kLineTooLong:
      EndWith(kFailedRequestStatus, kLineTooLongText, kHttpErrorLineTooLong);
      break;
    case TReplyPieceKind::kBadContentLength:
      EndWith(kFailedRequestStatus, kBadContentLengthText, kHttpErrorBadContentLength);
      break;
  }
}

void THttpCli::HandleHeaderLine(const std::string& line) {
  if (stage_ == TStage::kAwaitingReply) TriggerHeaderBegin();
  headerLines_.push_back(line);
  int statusCode = statusCode_;
  bool statusLine = false;
  try {
    statusLine = ParseStatusLine(line, statusCode, reasonPhrase_);
  } catch (const EConvertError&) {
    statusLine = true;  // a status line without a number: the status stays unknown
  }
  if (statusLine)
    statusCode_ = statusCode;
  else
    HeaderField(line);
  Fire(OnHeaderData, this);
}

void THttpCli::HeaderField(const std::string& line) {
  std::string name, value;
  if (!SplitHeaderField(line, name, value)) return;
  if (name == "location") {
    ApplyLocationValue(value);
  } else if (name == "content-length") {
    contentLength_ = reader_.ContentLength();
  } else if (name == "content-range") {
    ParseContentRange(value, ContentRangeBegin, ContentRangeEnd);
  } else if (name == "accept-ranges") {
    acceptRanges_ = value;
  } else if (name == "content-type") {
    contentType_ = LowerCase(value);
  } else if (name == "www-authenticate") {
    authChallenges_.push_back(value);
  } else if (name == "set-cookie") {
    bool Accept = true;
    if (OnCookie) OnCookie(this, value, Accept);
  }
}

void THttpCli::ApplyLocationValue(const std::string& value) {
  stage_ = TStage::kHeaderWithLocation;
  ApplyLocation(value, !Proxy.empty(), target_, credentials_);
}

void THttpCli::EndOfHeader() {
  if (stage_ == TStage::kHeaderWithLocation) {
    // The body of a redirecting reply is never read: the close leads to the next leg.
    TriggerHeaderEnd();
    stage_ = TStage::kFollowing;
    socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { FollowLocation(s, e); };
    socket_.CloseConnection();
    return;
  }
  if (contentLength_ == 0) {
    TriggerHeaderEnd();
    PostReady();
    return;
  }
  const std::string extension = LowerCase(ExtractFileExt(documentName_));
  if ((extension == ".exe" || extension.empty()) && contentType_ == kHtmlType)
    documentName_ = ReplaceExtension(documentName_, "htm");
  StartBody();
}

void THttpCli::StartBody() {
  stage_ = TStage::kBody;
  ChangeState(hsWaitingBody);
  TriggerHeaderEnd();
}

void THttpCli::HandleBodyData(const char* data, int length) {
  if (bodyDataCount_ == 0) Fire(OnDocBegin, this);
  ++bodyDataCount_;
  rcvdBytes_ += length;
  if (RcvdStream != nullptr) {
    try {
      RcvdStream->WriteBuffer(data, length);
    } catch (const std::exception& E) {
      // Going on would lose this piece of the document and report the rest as complete.
      EndWith(kFailedRequestStatus, E.what(), kHttpErrorStreamWrite);
      return;
    }
  }
  if (OnDocData) OnDocData(this, data, length);
}

void THttpCli::HandleClosed(TCustomWSocket* Sender, uint16_t Error) {
  connected_ = false;
  switch (stage_) {
    case TStage::kAwaitingReply:
      if (Error == 0)
        SetOutcome(kFailedRequestStatus, kEmptyReplyText, kHttpErrorEmptyReply);
      else
        SetOutcome(kFailedRequestStatus, SocketErrorWithCode(Error), Error);
      break;
    case TStage::kHeaderWithLocation:
      TriggerHeaderEnd();
      FollowLocation(Sender, Error);
      return;
    case TStage::kTunnel:
      if (Error == 0)
        SetOutcome(kFailedRequestStatus, kProxyClosedText, kHttpErrorEmptyReply);
      else
        SetOutcome(kFailedRequestStatus, SocketErrorWithCode(Error), Error);
      break;
    case TStage::kHeader:
      if (Error != 0) doneError_ = Error;
      break;
    case TStage::kBody:
      NoteBodyEnd(Error);
      break;
    default:
      return;  // no reply is being read: the close is a leftover or ends the request itself
  }
  EndRequest();
}

// A close before the body is complete fails the request; the server's status stays.
void THttpCli::NoteBodyEnd(uint16_t error) {
  const int64_t missing = reader_.ContentLength() - reader_.BodyBytes();
  if (ExpectsBody() && missing > 0) {
    SetOutcome(statusCode_, TruncatedText(missing, reader_.ContentLength()),
               kHttpErrorTruncatedBody);
  } else if (error != 0) {
    SetOutcome(statusCode_,
               error == kSslError ? socket_.SslErrorText() : SocketErrorWithCode(error), error);
  }
}

// Whether a short body means data lost: not for HEAD, replies without a body, or an
// error reply, whose body the client cuts itself.
bool THttpCli::ExpectsBody() const {
  return rqType_ != rqHead && statusCode_ >= kFirstFinalStatus && statusCode_ != kNoContentStatus &&
         statusCode_ != kNotModifiedStatus && statusCode_ < kFirstErrorStatus;
}

void THttpCli::FollowLocation(TCustomWSocket*, uint16_t) {
  socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { HandleClosed(s, e); };
  connected_ = false;
  stage_ = TStage::kFollowing;
  if (redirectCount_ == kMaxRedirects) {
    EndWith(kFailedRequestStatus, kTooManyRedirectionsText, kHttpErrorTooManyRedirects);
    return;
  }
  ++redirectCount_;
  TUrlParts parts;
  std::string path;
  SplitURL(target_.Location.substr(0, target_.Location.find('#')), parts, path);
  documentName_ = DeriveDocumentName(path);
  if (rqType_ == rqPost) rqType_ = rqGet;
  Fire(OnLocationChange, this);
  headerLines_.clear();
  bodyDataCount_ = 0;
  contentLength_ = -1;
  contentType_.clear();
  statusCode_ = 0;
  Progress();
  loop_.PostMessage(window_, WM_HTTP_START_LOOKUP, 0, 0);
}

void THttpCli::TriggerHeaderBegin() {
  stage_ = TStage::kHeader;
  Fire(OnHeaderBegin, this);
}

void THttpCli::TriggerHeaderEnd() {
  Fire(OnHeaderEnd, this);
}
