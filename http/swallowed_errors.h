#pragma once
// Errors the socket layers must not let through (a handler's exception would break the
// socket or a destructor), swallowed in one place: each use names in a word why it
// swallows, and the message goes to a sink the program connects to its log.

#include <functional>
#include <string>

// reason: the one word of the swallowing site; message: what the error said.
using TSwallowedErrorSink =
    std::function<void(const std::string& reason, const std::string& message)>;

// Empty (the default): swallowed errors leave no trace.
void SetSwallowedErrorSink(TSwallowedErrorSink sink);
void ReportSwallowedError(const char* reason, const std::string& message);

// Runs action; false when it raised, which is then reported, never passed on.
template <typename TAction>
bool RunSwallowing(const char* reason, TAction&& action) noexcept {
  try {
    action();
    return true;
  } catch (const std::exception& E) {
    ReportSwallowedError(reason, E.what());
  } catch (...) {
    ReportSwallowedError(reason, "unknown exception");
  }
  return false;
}
