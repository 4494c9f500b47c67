#pragma once
// TCustomLineWSocket: optional cutting of the received data into lines. In line mode the
// data-available event fires once per line, and Receive and RcvdCount work on that line
// (line end included). Line mode is off by default; then every call reaches the layer
// below unchanged.

#include <string>

#include "http/ssl_wsocket.h"

using TLineLimitEvent =
    std::function<void(TCustomWSocket* Sender, int32_t RcvdLength, bool& ClearData)>;

// Posted to the hidden window when line mode is switched with data held.
constexpr uint32_t WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;

class TCustomLineWSocket : public TCustomSslWSocket {
 public:
  static constexpr int32_t kDefaultLineLimit = 65536;

  bool LineMode() const { return lineMode_; }
  virtual void SetLineMode(bool value);
  int32_t LineLimit() const { return lineLimit_; }
  void SetLineLimit(int32_t value) { lineLimit_ = value; }
  const std::string& LineEnd() const { return lineEnd_; }
  void SetLineEnd(const std::string& value) { lineEnd_ = value; }
  bool LineEcho() const { return lineEcho_; }
  void SetLineEcho(bool value) { lineEcho_ = value; }
  bool LineEdit() const { return lineEdit_; }
  void SetLineEdit(bool value) { lineEdit_ = value; }

  TLineLimitEvent OnLineLimitExceeded;

  int Receive(void* buffer, int size) override;

 protected:
  virtual void TriggerLineLimitExceeded(int32_t Cnt, bool& ClearData);
  // Edits the bytes from position start of the held data in place (backspace, tab) and
  // echoes them when LineEcho is set.
  virtual void EditLine(size_t start);

  void DispatchSocketMessage(TMessage& message) override;
  void ResetToDefaults() override;
  bool TriggerDataAvailable(uint16_t Error) override;
  void TriggerSessionClosed(uint16_t Error) override;
  int32_t GetRcvdCount() override;

 private:
  bool lineMode_ = false;
  int32_t lineLimit_ = kDefaultLineLimit;
  std::string lineEnd_ = "\r\n";
  bool lineEcho_ = false;
  bool lineEdit_ = false;

  std::string held_;         // received and not yet read
  size_t lineLength_ = 0;    // unread bytes of the line ready at the front of held_
  size_t searchedUpTo_ = 0;  // held_ has no line end that ends before this

  bool Cutting() const;
  void ReadIntoHeld();
  void Echo(const std::string& bytes);
  void CutLines();
  bool OfferLine();
  void DropHeld();
  void OfferHeld();
};
