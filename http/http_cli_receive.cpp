// The receive side of THttpCli: feeding the reply reader, the header fields, the body, the
// close and the Location legs.

#include <algorithm>
#include <iterator>

#include "http/http_cli.h"
#include "http/http_reply_lines.h"
#include "http/socket_error_text.h"
#include "http/url_helpers.h"
#include "http/url_reference.h"
#include "runtime/conversion.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr char kLineTooLongText[] = "HTTP line too long";
constexpr char kHeaderCutText[] = "Reply ended inside its header";
constexpr char kTooManyRedirectionsText[] = "Too many redirections";
constexpr char kBadContentLengthText[] = "Bad Content-Length in reply";
constexpr char kBadChunkText[] = "Bad chunked encoding in reply";
constexpr char kLastChunkMissingText[] = "Transfer closed before the last chunk";
constexpr char kEmptyReplyText[] = "Empty reply from server";
constexpr char kEmptyLocationText[] = "Redirect with an empty Location";
constexpr char kUnsupportedRedirectText[] = "Redirect to an unsupported scheme";
constexpr char kProxyClosedText[] = "The proxy closed the connection before opening a tunnel";
constexpr char kHtmlType[] = "text/html";
constexpr int kFirstErrorStatus = 400;
// Replies to these carry no body, whatever their Content-Length says.
constexpr int kNoContentStatus = 204;
constexpr int kNotModifiedStatus = 304;
constexpr int kFirstFinalStatus = 200;
constexpr int kFirstInterimStatus = 100;
// The statuses whose Location names where the document is now.
constexpr int kRedirectStatuses[] = {301, 302, 303, 307, 308};

std::string TruncatedText(int64_t missing, int64_t expected) {
  return "Transfer closed with " + IntToStr(missing) + " of " + IntToStr(expected) +
         " bytes missing";
}

std::string BodyTooLargeText(int64_t limit) {
  return "Body larger than " + IntToStr(limit) + " bytes";
}

bool IsRedirect(int status) {
  return std::find(std::begin(kRedirectStatuses), std::end(kRedirectStatuses), status) !=
         std::end(kRedirectStatuses);
}

// Only blanks and tabs surround a field's value; any other control byte is its own.
std::string WithoutSurroundingBlanks(const std::string& value) {
  const size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool THttpCli::Reading() const {
  return stage_ == TStage::kAwaitingReply || stage_ == TStage::kHeader || stage_ == TStage::kBody;
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
  // Of an error reply only what came with the header is stored.
  if (stage_ == TStage::kBody && statusCode_ >= kFirstErrorStatus) socket_.CloseConnection();
}

void THttpCli::TakePieces() {
  TReplyPiece piece;
  while (Reading() && reader_.Next(piece)) TakePiece(piece);
  if (stage_ == TStage::kBody && reader_.BodyComplete()) ReplyComplete();
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
      // The lines before were no header: a length among them frames nothing.
      contentLength_ = reader_.ContentLength();
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
    case TReplyPieceKind::kHeaderTooLarge:
      EndWith(kFailedRequestStatus, kHttpHeaderTooLargeText, kHttpErrorHeaderTooLarge);
      break;
    case TReplyPieceKind::kBadContentLength:
      EndWith(kFailedRequestStatus, kBadContentLengthText, kHttpErrorBadContentLength);
      break;
    case TReplyPieceKind::kBadChunk:
      EndWith(kFailedRequestStatus, kBadChunkText, kHttpErrorBadChunk);
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
    location_ = WithoutSurroundingBlanks(value);
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

void THttpCli::EndOfHeader() {
  if (statusCode_ >= kFirstInterimStatus && statusCode_ < kFirstFinalStatus) {
    SkipInterimReply();
    return;
  }
  // A Location on any other status (a 404 page's, a 200 chart's) is only reported.
  if (location_ && IsRedirect(statusCode_)) {
    FollowRedirect();
    return;
  }
  contentLength_ = reader_.ContentLength();
  if (ReplyHasNoBody() || reader_.BodyComplete()) {
    TriggerHeaderEnd();
    ReplyComplete();
    return;
  }
  if (MaxBodySize > 0 && reader_.ContentLength() > MaxBodySize) {
    EndWith(kFailedRequestStatus, BodyTooLargeText(MaxBodySize), kHttpErrorBodyTooLarge);
    return;
  }
  const std::string extension = LowerCase(ExtractFileExt(documentName_));
  if ((extension == ".exe" || extension.empty()) && contentType_ == kHtmlType)
    documentName_ = ReplaceExtension(documentName_, "htm");
  StartBody();
}

// A 1xx reply (100 Continue) only says the server is at work: the reply follows.
void THttpCli::SkipInterimReply() {
  ClearReplyFields();
  reader_.StartNextHeader();
}

// The body of a redirecting reply is never read: the close leads to the next leg.
void THttpCli::FollowRedirect() {
  if (location_->empty()) {
    EndWith(kFailedRequestStatus, kEmptyLocationText, kHttpErrorEmptyLocation);
    return;
  }
  if (RefuseControlCharacters(*location_)) return;
  const std::string url = ResolveReference(CurrentUrl(target_), *location_);
  const std::string scheme = UrlScheme(url);
  if (scheme != "http" && scheme != "https") {
    EndWith(kFailedRequestStatus, kUnsupportedRedirectText, kHttpErrorUnsupportedRedirect);
    return;
  }
  ApplyLocation(url, !Proxy.empty(), target_, credentials_);
  TriggerHeaderEnd();
  stage_ = TStage::kFollowing;
  socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { FollowLocation(s, e); };
  socket_.CloseConnection();
}

void THttpCli::StartBody() {
  stage_ = TStage::kBody;
  ChangeState(hsWaitingBody);
  TriggerHeaderEnd();
  // The handler may have given the stream.
  if (RcvdStream != nullptr && contentLength_ > 0) RcvdStream->ExpectWrite(contentLength_);
}

void THttpCli::HandleBodyData(const char* data, int length) {
  if (MaxBodySize > 0 && rcvdBytes_ + length > MaxBodySize) {
    EndWith(kFailedRequestStatus, BodyTooLargeText(MaxBodySize), kHttpErrorBodyTooLarge);
    return;
  }
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

// The reply is whole: the request ends now, whether the server closes the connection or
// keeps it open, and nothing that follows is stored.
void THttpCli::ReplyComplete() {
  const bool document = bodyDataCount_ > 0;
  stage_ = TStage::kEnded;
  CloseLeftOpen();
  if (document) Fire(OnDocEnd, this);
  PostReady();
}

void THttpCli::HandleClosed(TCustomWSocket*, uint16_t Error) {
  connected_ = false;
  switch (stage_) {
    case TStage::kAwaitingReply:
      if (Error != 0)
        SetOutcome(kFailedRequestStatus, CloseErrorText(Error), Error);
      else if (reader_.InsideLine())
        SetOutcome(kFailedRequestStatus, kHeaderCutText, kHttpErrorHeaderCut);
      else
        SetOutcome(kFailedRequestStatus, kEmptyReplyText, kHttpErrorEmptyReply);
      break;
    case TStage::kTunnel:
      if (Error == 0)
        SetOutcome(kFailedRequestStatus, kProxyClosedText, kHttpErrorEmptyReply);
      else
        SetOutcome(kFailedRequestStatus, SocketErrorWithCode(Error), Error);
      break;
    case TStage::kHeader:
      if (Error != 0)
        SetOutcome(kFailedRequestStatus, CloseErrorText(Error), Error);
      else
        SetOutcome(kFailedRequestStatus, kHeaderCutText, kHttpErrorHeaderCut);
      break;
    case TStage::kBody:
      NoteBodyEnd(Error);
      break;
    default:
      return;  // no reply is being read: the close is a leftover or ends the request itself
  }
  EndRequest();
}

std::string THttpCli::CloseErrorText(uint16_t error) {
  return error == kSslError ? socket_.SslErrorText() : SocketErrorWithCode(error);
}

// A close before the body is complete fails the request; the server's status stays.
void THttpCli::NoteBodyEnd(uint16_t error) {
  const int64_t length = reader_.ContentLength();
  const int64_t missing = length - reader_.BodyBytes();
  if (ExpectsBody() && reader_.Chunked() && !reader_.BodyComplete()) {
    SetOutcome(statusCode_, kLastChunkMissingText, kHttpErrorTruncatedBody);
  } else if (ExpectsBody() && length >= 0 && missing > 0) {
    SetOutcome(statusCode_, TruncatedText(missing, length), kHttpErrorTruncatedBody);
  } else if (error != 0) {
    SetOutcome(statusCode_, CloseErrorText(error), error);
  }
}

// Whether a short body means data lost: not for HEAD, replies without a body, or an
// error reply, whose body the client cuts itself. A reply whose status line could not be
// read (StatusCode 0) is stored as a document too, so its length counts as well.
bool THttpCli::ExpectsBody() const {
  return !ReplyHasNoBody() && statusCode_ < kFirstErrorStatus;
}

// A reply to HEAD, 204 and 304 end at their header (RFC 9112 section 6.3).
bool THttpCli::ReplyHasNoBody() const {
  return rqType_ == rqHead || statusCode_ == kNoContentStatus || statusCode_ == kNotModifiedStatus;
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
  ClearReplyFields();
  bodyDataCount_ = 0;
  Progress();
  loop_.PostMessage(window_, WM_HTTP_START_LOOKUP, 0, 0);
}

// What one reply told: each leg, and each request, starts without it.
void THttpCli::ClearReplyFields() {
  headerLines_.clear();
  statusCode_ = 0;
  reasonPhrase_.clear();
  contentLength_ = -1;
  contentType_.clear();
  acceptRanges_.clear();
  authChallenges_.clear();
  location_.reset();
}

void THttpCli::TriggerHeaderBegin() {
  stage_ = TStage::kHeader;
  Fire(OnHeaderBegin, this);
}

void THttpCli::TriggerHeaderEnd() {
  Fire(OnHeaderEnd, this);
}
