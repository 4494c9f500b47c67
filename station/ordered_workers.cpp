#include "station/ordered_workers.h"

namespace {
constexpr uint32_t WM_WORK_DONE = WM_USER + 1;
}  // namespace

TOrderedWorkers::TOrderedWorkers(size_t threads)
    : loop_(MessageLoop::Current()), window_(loop_.AllocateHWnd([this](TMessage& message) {
        if (message.Msg == WM_WORK_DONE) DeliverReady();
      })) {
  for (size_t i = 0; i < std::max<size_t>(threads, 1); ++i)
    threads_.emplace_back([this] { Run(); });
}

TOrderedWorkers::~TOrderedWorkers() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  loop_.DeallocateHWnd(window_);
}

void TOrderedWorkers::Submit(std::function<void()> work, std::function<void()> deliver) {
  const uint64_t sequence = submitted_++;
  deliveries_.emplace(sequence, std::move(deliver));
  {
    const std::lock_guard lock(mutex_);
    waiting_.push_back({sequence, std::move(work)});
  }
  wake_.notify_one();
}

void TOrderedWorkers::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    TItem item = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    item.work();
    item.work = nullptr;  // what it held goes before the next item's work begins
    lock.lock();
    done_.push_back(item.sequence);
    loop_.PostMessage(window_, WM_WORK_DONE, 0, 0);
  }
}

// A delivery may hand in new work or run the loop's other handlers; each is taken from the
// map before it runs, so a nested delivery never runs it twice.
void TOrderedWorkers::DeliverReady() {
  std::vector<uint64_t> done;
  {
    const std::lock_guard lock(mutex_);
    done.swap(done_);
  }
  for (uint64_t sequence : done) finished_.insert(sequence);
  while (finished_.contains(delivered_)) {
    finished_.erase(delivered_);
    const auto delivery = deliveries_.find(delivered_);
    std::function<void()> deliver = std::move(delivery->second);
    deliveries_.erase(delivery);
    ++delivered_;
    deliver();
  }
}
