#pragma once
// What kind of failure ended an attempt at a chart, carried with its message from where it
// happened up to the queue and the report, so that an operator (and what watches the
// station) can tell a dead server from a full disk without reading the text.

#include <optional>
#include <stdexcept>
#include <string>

#include "runtime/exceptions.h"

enum TFailureKind {
  fkNetwork,        // no answer, refused, reset, timed out, cut short
  fkHttpStatus,     // the server answered with a status of 400 or more
  fkContent,        // not an image, or a picture cut or damaged
  fkDisk,           // a file could not be written: full, no permission, no folder
  fkConfiguration,  // the program's own settings or files: jpegcomp.txt, the clock's zone
  fkPrinter,        // the printer is missing or refused the document
};

// "network", "HTTP status", "content", "disk", "configuration", "printer".
std::string FailureKindName(TFailureKind kind);
// The kind of that name; none for any other text.
std::optional<TFailureKind> FailureKindNamed(const std::string& name);

class EStationFailure : public Exception {
 public:
  EStationFailure(std::string message, TFailureKind kind, int errorNumber = 0)
      : Exception(std::move(message)), kind_(kind), errorNumber_(errorNumber) {}
  TFailureKind Kind() const { return kind_; }
  // The system's error number (errno) of a disk failure; 0 when there was none.
  int ErrorNumber() const { return errorNumber_; }

 private:
  TFailureKind kind_;
  int errorNumber_;
};

// The error of a step as a failure of the given kind; a stream error keeps its errno.
EStationFailure AsFailure(const std::exception& error, TFailureKind kind);
