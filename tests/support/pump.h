#pragma once
// Dispatches a message loop until a condition holds, waiting for events in between. A
// broken loop fails the test instead of hanging it: the wait limit is a guard, never a
// timing that a passing test depends on.

#include <functional>

#include "runtime/message_loop.h"

// True when done() held before the guard ran out; the caller asserts on it.
bool PumpUntil(MessageLoop& loop, const std::function<bool()>& done);
