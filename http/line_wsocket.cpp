#include "http/line_wsocket.h"

#include <algorithm>
#include <cstring>

#include "http/winsock.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr int32_t kUnknownCountSize = 255;  // read when the count waiting is unknown
constexpr char kBackspace = '\b';
constexpr char kTab = '\t';
constexpr size_t kTabWidth = 8;
constexpr char kBackspaceEcho[] = "\b \b";  // rubs the character out on the peer's screen

}  // namespace

void TCustomLineWSocket::SetLineMode(bool value) {
  if (value == lineMode_) return;
  lineMode_ = value;
  lineLength_ = 0;
  searchedUpTo_ = 0;
  // What is held is offered again, under the new mode, once this call has returned.
  if (!held_.empty()) Loop().PostMessage(Handle(), WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

void TCustomLineWSocket::DispatchSocketMessage(TMessage& message) {
  if (message.Msg == WM_TRIGGER_DATA_AVAILABLE)
    OfferHeld();
  else
    TCustomSslWSocket::DispatchSocketMessage(message);
}

void TCustomLineWSocket::ResetToDefaults() {
  TCustomSslWSocket::ResetToDefaults();
  DropHeld();
}

void TCustomLineWSocket::DropHeld() {
  held_.clear();
  held_.shrink_to_fit();
  lineLength_ = 0;
  searchedUpTo_ = 0;
}

bool TCustomLineWSocket::Cutting() const {
  return lineMode_ && !lineEnd_.empty() && !Negotiating() && !SslHandshaking();
}

// Receiving.

bool TCustomLineWSocket::TriggerDataAvailable(uint16_t Error) {
  if (!Cutting()) return TCustomSslWSocket::TriggerDataAvailable(Error);
  ReadIntoHeld();
  CutLines();
  return true;
}

void TCustomLineWSocket::ReadIntoHeld() {
  int32_t count = TCustomSslWSocket::GetRcvdCount();
  if (count <= 0) count = kUnknownCountSize;
  const size_t start = held_.size();
  held_.resize(start + static_cast<size_t>(count));
  const int received = TCustomSslWSocket::Receive(held_.data() + start, count);
  held_.resize(start + static_cast<size_t>(std::max(received, 0)));
  if (received <= 0) return;
  if (lineEdit_)
    EditLine(start);
  else if (lineEcho_)
    Echo(held_.substr(start));
}

void TCustomLineWSocket::EditLine(size_t start) {
  const std::string fresh = held_.substr(start);
  held_.resize(start);
  std::string echo;
  for (const char c : fresh) {
    if (c == kBackspace) {
      if (held_.empty()) continue;
      held_.pop_back();
      echo += kBackspaceEcho;
    } else if (c == kTab) {
      const size_t blanks = kTabWidth - held_.size() % kTabWidth;
      held_.append(blanks, ' ');
      echo.append(blanks, ' ');
    } else {
      held_ += c;
      echo += c;
    }
  }
  if (lineEcho_) Echo(echo);
}

void TCustomLineWSocket::Echo(const std::string& bytes) {
  if (!bytes.empty()) Send(bytes.data(), static_cast<int>(bytes.size()));
}

void TCustomLineWSocket::CutLines() {
  while (Cutting() && !held_.empty()) {
    if (lineLength_ == 0) {
      const size_t at = held_.find(lineEnd_, searchedUpTo_);
      if (at == std::string::npos) {
        // A line end may have begun in the last bytes: look there again next time.
        searchedUpTo_ = held_.size() - std::min(held_.size(), lineEnd_.size() - 1);
        if (lineLimit_ > 0 && held_.size() > static_cast<size_t>(lineLimit_)) {
          bool ClearData = true;
          TriggerLineLimitExceeded(static_cast<int32_t>(held_.size()), ClearData);
          if (ClearData) DropHeld();
        }
        return;
      }
      lineLength_ = at + lineEnd_.size();
      searchedUpTo_ = 0;
    }
    if (!OfferLine()) return;
  }
}

// Calls the data-available event while part of the ready line is unread. Without a handler
// the line is dropped; a handler that reads nothing leaves it waiting (false).
bool TCustomLineWSocket::OfferLine() {
  while (lineLength_ > 0) {
    const size_t before = lineLength_;
    if (!TCustomSslWSocket::TriggerDataAvailable(0)) {
      held_.erase(0, lineLength_);
      lineLength_ = 0;
      return true;
    }
    if (lineLength_ == before) return false;
  }
  return true;
}

void TCustomLineWSocket::OfferHeld() {
  while (!held_.empty()) {
    const size_t before = held_.size();
    TriggerDataAvailable(0);
    if (held_.size() == before) break;
  }
}

int TCustomLineWSocket::Receive(void* buffer, int size) {
  if (!Cutting() && held_.empty()) return TCustomSslWSocket::Receive(buffer, size);
  const size_t available = Cutting() ? lineLength_ : held_.size();
  if (available == 0) {
    WSocket_WSASetLastError(WSAEWOULDBLOCK);
    return -1;
  }
  const size_t count = std::min(available, static_cast<size_t>(std::max(size, 0)));
  std::memcpy(buffer, held_.data(), count);
  held_.erase(0, count);
  if (Cutting()) lineLength_ -= count;
  return static_cast<int>(count);
}

int32_t TCustomLineWSocket::GetRcvdCount() {
  if (Cutting()) return static_cast<int32_t>(lineLength_);
  if (!held_.empty()) return static_cast<int32_t>(held_.size());
  return TCustomSslWSocket::GetRcvdCount();
}

void TCustomLineWSocket::TriggerSessionClosed(uint16_t Error) {
  if (Cutting()) {
    CutLines();
    // What is left without a line end is the last line.
    if (!held_.empty() && lineLength_ == 0) {
      lineLength_ = held_.size();
      OfferLine();
    }
  }
  DropHeld();
  TCustomSslWSocket::TriggerSessionClosed(Error);
}

void TCustomLineWSocket::TriggerLineLimitExceeded(int32_t Cnt, bool& ClearData) {
  if (OnLineLimitExceeded) OnLineLimitExceeded(this, Cnt, ClearData);
}
