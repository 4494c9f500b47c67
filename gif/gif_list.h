#pragma once
// An ordered list that owns GIF items: the frame list of an image and the extension list of
// a frame.

#include <memory>
#include <string>
#include <vector>

#include "gif/gif_warning.h"
#include "runtime/stream.h"

class TGIFImage;

// Forwards a list's warning to its image; apart so that the list template needs no image.
void ForwardListWarning(TGIFImage* image, const TGIFWarningSource& list, int severity,
                        const std::string& message);

template <class T>
class TGIFList : public TGIFWarningSource {
 public:
  explicit TGIFList(TGIFImage* image) : image_(image) {}
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;
  ~TGIFList() override { Clear(); }

  TGIFImage* Image() const { return image_; }
  int Count() const { return static_cast<int>(items_.size()); }
  T& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }
  T& operator[](int index) const { return Items(index); }

  // Appends and answers the new item's index.
  int Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
  }
  // Unlinks and destroys.
  void Delete(int index) { Remove(&Items(index)); }
  // Destroys every item, the first one first.
  void Clear() {
    std::vector<std::unique_ptr<T>> items = std::move(items_);
    items_.clear();
    for (auto& item : items) item.reset();
  }
  // Unlinks the item and hands it to the caller; nullptr when it is not in the list.
  std::unique_ptr<T> Remove(T* item) {
    for (auto at = items_.begin(); at != items_.end(); ++at) {
      if (at->get() != item) continue;
      std::unique_ptr<T> removed = std::move(*at);
      items_.erase(at);
      return removed;
    }
    return nullptr;
  }
  int IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].get() == item) return static_cast<int>(i);
    }
    return -1;
  }

  virtual void Warning(int severity, const std::string& message) {
    ForwardListWarning(image_, *this, severity, message);
  }
  // Each item's own layout, in list order.
  void SaveToStream(TStream& stream) const {
    for (const auto& item : items_) item->SaveToStream(stream);
  }

 private:
  TGIFImage* image_;
  std::vector<std::unique_ptr<T>> items_;
};
