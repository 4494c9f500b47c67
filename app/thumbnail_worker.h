#pragma once
// One thread that makes the archive window's thumbnails, fed by a queue, so that the
// window never waits for a decode. The window asks for a page's pictures; asking again
// replaces what still waits, so paging on never leaves a backlog of pages gone by.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/saved_list.h"
#include "imaging/dib.h"

struct TThumbnail {
  TSavedFile save;
  TDib picture;       // empty when it could not be made
  std::string error;  // why not
};

using TThumbnailMaker = std::function<TDib(const std::string& fileName)>;

class TThumbnailWorker {
 public:
  // Done runs on the worker's thread, once for each request it finishes.
  TThumbnailWorker(TThumbnailMaker maker, std::function<void(TThumbnail)> done);
  // Drops what waits and waits for the thumbnail being made.
  ~TThumbnailWorker();
  TThumbnailWorker(const TThumbnailWorker&) = delete;
  TThumbnailWorker& operator=(const TThumbnailWorker&) = delete;

  // Replaces the waiting requests with these, made in this order.
  void Request(std::vector<TSavedFile> saves);

 private:
  void Run();
  TThumbnail Make(const TSavedFile& save) const;

  TThumbnailMaker maker_;
  std::function<void(TThumbnail)> done_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TSavedFile> waiting_;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything it uses is there
};
