#pragma once
// The message of the exception of type E that fn raises, or "(nothing raised)".

#include <string>

template <class E, class Fn>
std::string MessageRaised(Fn fn) {
  try {
    fn();
  } catch (const E& error) {
    return error.what();
  }
  return "(nothing raised)";
}
