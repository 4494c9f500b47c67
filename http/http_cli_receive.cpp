// The receive side of THttpCli: cutting the reply into header lines, the header fields,
// the body, the close and the Location legs.

#include <cstring>

#include "http/http_cli.h"
#include "http/http_reply_lines.h"
#include "http/url_helpers.h"
#include "runtime/conversion.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr char kLineTooLongText[] = "HTTP line too long";
constexpr char kTooManyRedirectionsText[] = "Too many redirections";
constexpr char kHtmlType[] = "text/html";
constexpr int kFirstErrorStatus = 400;

}  // namespace

void THttpCli::HandleData(TCustomWSocket*, uint16_t) {
  // Bytes behind a reply that has ended belong to no request: left waiting they would
  // be offered again and again.
  if (endPosted_ || state_ == hsReady) {
    CloseLeftOpen();
    return;
  }
  Progress();
  if (state_ == hsWaitingBody && receiveLen_ == 0) {
    ReadBody();
    return;
  }
  const int room = kLineBufferSize - 1 - receiveLen_;
  const int count = socket_.Receive(lineBuffer_.data() + receiveLen_, room);
  if (rqType_ == rqNone || count <= 0) return;
  receiveLen_ += count;
  if (state_ == hsWaitingBody) {
    const int held = receiveLen_;
    receiveLen_ = 0;
    HandleBodyData(lineBuffer_.data(), held);
    return;
  }
  CutHeaderLines();
  // A full buffer without a line end can never become a line: waiting for more would
  // leave the request hanging until the server gives up.
  if (receiveLen_ >= kLineBufferSize - 1 && !endPosted_) EndWith(404, kLineTooLongText, 0);
}

// The body comes straight from the socket in large reads: no copy into the line buffer.
void THttpCli::ReadBody() {
  if (bodyBuffer_.empty()) bodyBuffer_.resize(kBodyReadSize);
  const int count = socket_.Receive(bodyBuffer_.data(), kBodyReadSize);
  if (rqType_ == rqNone || count <= 0) return;
  HandleBodyData(bodyBuffer_.data(), count);
}

void THttpCli::CutHeaderLines() {
  while (receiveLen_ > 0 && state_ != hsWaitingBody && !endPosted_) {
    char* held = lineBuffer_.data();
    const char* lf = static_cast<const char*>(std::memchr(held, '\n', receiveLen_));
    if (lf == nullptr) return;
    const int length = static_cast<int>(lf - held);
    const bool cr = length > 0 && held[length - 1] == '\r';
    currentLine_.assign(held, length - (cr ? 1 : 0));
    currentLineEnd_ = cr ? "\r\n" : "\n";
    receiveLen_ -= length + 1;
    std::memmove(held, lf + 1, receiveLen_);
    if (state_ == hsWaitingHeader)
      HandleHeaderLine();
    else if (OnDataAvailable)
      OnDataAvailable(this, currentLine_);
  }
}

void THttpCli::HandleHeaderLine() {
  if (headerLineCount_ == 0) TriggerHeaderBegin();
  ++headerLineCount_;
  if (StartsHtmlDocument(currentLine_)) {
    // No header at all: the document starts here.
    if (contentType_.empty()) contentType_ = kHtmlType;
    StartBody();
    // The document as it came, line ends included.
    const std::string line = currentLine_ + currentLineEnd_;
    HandleBodyData(line.data(), static_cast<int>(line.size()));
    if (!endPosted_) HeldToBody();
    return;
  }
  if (currentLine_.empty()) {
    EndOfHeader();
    return;
  }
  headerLines_.push_back(currentLine_);
  int statusCode = statusCode_;
  if (ParseStatusLine(currentLine_, statusCode, reasonPhrase_))
    statusCode_ = statusCode;
  else
    HeaderField(currentLine_);
  Fire(OnHeaderData, this);
}

void THttpCli::HeaderField(const std::string& line) {
  std::string name, value;
  if (!SplitHeaderField(line, name, value)) return;
  if (name == "location") {
    ApplyLocationValue(value);
  } else if (name == "content-length") {
    contentLength_ = StrToInt(Trim(value));
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
  redirectPending_ = true;
  THttpCredentials credentials{Username, Password};
  ApplyLocation(value, !Proxy.empty(), target_, credentials);
  Username = credentials.Username;
  Password = credentials.Password;
}

void THttpCli::EndOfHeader() {
  if (redirectPending_) {
    // The body of a redirecting reply is never read: the close leads to the next leg.
    TriggerHeaderEnd();
    receiveLen_ = 0;
    headerLineCount_ = bodyDataCount_ = 0;
    socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { FollowLocation(s, e); };
    socket_.CloseConnection();
    return;
  }
  if (contentLength_ == 0) {
    TriggerHeaderEnd();
    receiveLen_ = 0;
    PostReady();
    return;
  }
  const std::string extension = LowerCase(ExtractFileExt(documentName_));
  if ((extension == ".exe" || extension.empty()) && contentType_ == kHtmlType)
    documentName_ = ReplaceExtension(documentName_, "htm");
  StartBody();
  HeldToBody();
  // Of an error reply only what came with the header is stored.
  if (statusCode_ >= kFirstErrorStatus && !endPosted_) socket_.CloseConnection();
}

void THttpCli::StartBody() {
  ChangeState(hsWaitingBody);
  TriggerHeaderEnd();
}

// What is held behind the header is the first piece of the body.
void THttpCli::HeldToBody() {
  if (receiveLen_ == 0) return;
  const int held = receiveLen_;
  receiveLen_ = 0;
  HandleBodyData(lineBuffer_.data(), held);
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
      EndWith(404, E.what(), 0);
      return;
    }
  }
  if (OnDocData) OnDocData(this, data, length);
}

void THttpCli::HandleClosed(TCustomWSocket* Sender, uint16_t Error) {
  connected_ = false;
  if (endPosted_) return;  // the request has ended already; this is the leftover close
  if (Error != 0) doneError_ = Error;
  if (inHeader_) {
    TriggerHeaderEnd();
    if (redirectPending_)
      FollowLocation(Sender, Error);
    else
      PostReady();
    return;
  }
  if (bodyDataCount_ > 0) Fire(OnDocEnd, this);
  PostReady();
}

void THttpCli::FollowLocation(TCustomWSocket*, uint16_t) {
  socket_.OnSessionClosed = [this](TCustomWSocket* s, uint16_t e) { HandleClosed(s, e); };
  connected_ = false;
  redirectPending_ = false;
  if (redirectCount_ == kMaxRedirects) {
    EndWith(404, kTooManyRedirectionsText, 0);
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
  headerLineCount_ = bodyDataCount_ = 0;
  receiveLen_ = 0;
  contentLength_ = -1;
  contentType_.clear();
  statusCode_ = 0;
  Progress();
  loop_.PostMessage(window_, WM_HTTP_START_LOOKUP, 0, 0);
}

void THttpCli::TriggerHeaderBegin() {
  inHeader_ = true;
  Fire(OnHeaderBegin, this);
}

void THttpCli::TriggerHeaderEnd() {
  inHeader_ = false;
  Fire(OnHeaderEnd, this);
}
