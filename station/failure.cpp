#include "station/failure.h"

std::string FailureKindName(TFailureKind kind) {
  switch (kind) {
    case fkNetwork:
      return "network";
    case fkHttpStatus:
      return "HTTP status";
    case fkContent:
      return "content";
    case fkDisk:
      return "disk";
    case fkConfiguration:
      return "configuration";
    case fkPrinter:
      return "printer";
  }
  return "unknown";
}

std::optional<TFailureKind> FailureKindNamed(const std::string& name) {
  for (TFailureKind kind : {fkNetwork, fkHttpStatus, fkContent, fkDisk, fkConfiguration, fkPrinter})
    if (FailureKindName(kind) == name) return kind;
  return std::nullopt;
}

EStationFailure AsFailure(const std::exception& error, TFailureKind kind) {
  if (const auto* failure = dynamic_cast<const EStationFailure*>(&error)) return *failure;
  const auto* stream = dynamic_cast<const EStreamError*>(&error);
  return EStationFailure(error.what(), kind, stream ? stream->ErrorNumber() : 0);
}
