#pragma once
// The exception classes of the whole system. Every failure is one of these, carrying the
// text that the operator sees.

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

#define ISOVIEW_EXCEPTION(Name, Base) \
  class Name : public Base {          \
   public:                            \
    using Base::Base;                 \
  }

ISOVIEW_EXCEPTION(EConvertError, Exception);
// A quiet stop asked for by a handler (a progress handler ending a long decode); the
// operation it stops ends without an error of its own.
ISOVIEW_EXCEPTION(EAbort, Exception);

// Streams and files. The system's error number (errno) comes along where there was one, so
// that a caller can tell a full disk from a missing folder without reading the text.
class EStreamError : public Exception {
 public:
  explicit EStreamError(std::string message, int errorNumber = 0)
      : Exception(std::move(message)), errorNumber_(errorNumber) {}
  // 0 when the failure had no system error.
  int ErrorNumber() const { return errorNumber_; }

 private:
  int errorNumber_;
};
ISOVIEW_EXCEPTION(EFOpenError, EStreamError);
ISOVIEW_EXCEPTION(EFCreateError, EStreamError);
ISOVIEW_EXCEPTION(EReadError, EStreamError);
ISOVIEW_EXCEPTION(EWriteError, EStreamError);

// Sockets and HTTP.
ISOVIEW_EXCEPTION(ESocketException, Exception);

class EHttpException : public Exception {
 public:
  EHttpException(std::string message, int errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

// Images.
ISOVIEW_EXCEPTION(EInvalidGraphic, Exception);
ISOVIEW_EXCEPTION(EInvalidGraphicOperation, Exception);
ISOVIEW_EXCEPTION(GIFException, EInvalidGraphic);
ISOVIEW_EXCEPTION(EJPEG, Exception);
ISOVIEW_EXCEPTION(ETiffError, Exception);
ISOVIEW_EXCEPTION(EImagingError, Exception);

#undef ISOVIEW_EXCEPTION
