#pragma once
// The window tests' main: one QApplication for the whole run (offscreen platform). A test
// program that needs more around its run declares one TQtTestSetUp at namespace scope.

#include <functional>

class TQtTestSetUp {
 public:
  // Runs the tests through runTests and returns its result.
  using TAround = std::function<int(const std::function<int()>& runTests)>;
  explicit TQtTestSetUp(TAround around);
};
