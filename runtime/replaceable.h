#pragma once
// A function that tests may replace for a while (host lookups, file writes): the slot holds
// the replacement, empty meaning the system's own, and a TScopedReplacement puts one in and
// restores the one it replaced when it ends.

#include <memory>
#include <mutex>
#include <utility>

template <typename Function>
class TReplaceable {
 public:
  // A copy of the pointer, so a replacement removed meanwhile lives until its call ends.
  std::shared_ptr<const Function> Current() const {
    std::lock_guard lock(mutex_);
    return current_;
  }

  std::shared_ptr<const Function> Exchange(std::shared_ptr<const Function> next) {
    std::lock_guard lock(mutex_);
    current_.swap(next);
    return next;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const Function> current_;
};

template <typename Function>
class TScopedReplacement {
 public:
  TScopedReplacement(TReplaceable<Function>& slot, Function replacement)
      : slot_(slot),
        replaced_(slot.Exchange(std::make_shared<const Function>(std::move(replacement)))) {}
  ~TScopedReplacement() { slot_.Exchange(std::move(replaced_)); }
  TScopedReplacement(const TScopedReplacement&) = delete;
  TScopedReplacement& operator=(const TScopedReplacement&) = delete;

 private:
  TReplaceable<Function>& slot_;
  std::shared_ptr<const Function> replaced_;
};
