#include "http/swallowed_errors.h"

#include <exception>
#include <mutex>

namespace {

std::mutex sinkMutex;
TSwallowedErrorSink& Sink() {
  static TSwallowedErrorSink sink;
  return sink;
}

}  // namespace

void SetSwallowedErrorSink(TSwallowedErrorSink sink) {
  const std::lock_guard lock(sinkMutex);
  Sink() = std::move(sink);
}

void ReportSwallowedError(const char* reason, const std::string& message) {
  const std::lock_guard lock(sinkMutex);
  if (!Sink()) return;
  // A failing sink must not undo the swallowing.
  try {
    Sink()(reason, message);
  } catch (...) {
  }
}
