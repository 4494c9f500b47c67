#include "app/thumbnail_worker.h"

#include <exception>

TThumbnailWorker::TThumbnailWorker(TThumbnailMaker maker, std::function<void(TThumbnail)> done)
    : maker_(std::move(maker)), done_(std::move(done)), thread_([this] { Run(); }) {}

TThumbnailWorker::~TThumbnailWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_one();
  thread_.join();
}

void TThumbnailWorker::Request(std::vector<TSavedFile> saves) {
  {
    std::lock_guard lock(mutex_);
    waiting_.assign(std::make_move_iterator(saves.begin()), std::make_move_iterator(saves.end()));
  }
  wake_.notify_one();
}

void TThumbnailWorker::Run() {
  for (;;) {
    TSavedFile save;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      save = std::move(waiting_.front());
      waiting_.pop_front();
    }
    done_(Make(save));
  }
}

// Every failure becomes the thumbnail's error: one bad file must not end the worker.
TThumbnail TThumbnailWorker::Make(const TSavedFile& save) const {
  try {
    return {save, maker_(save.path), {}};
  } catch (const std::exception& error) {
    return {save, {}, error.what()};
  }
}
