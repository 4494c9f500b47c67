#pragma once
// An allocator whose vectors grow without writing their new elements: for a buffer whose
// every byte its owner writes at once, so that it is not filled twice.

#include <memory>
#include <type_traits>
#include <utility>

template <class T>
class TUninitializedAllocator : public std::allocator<T> {
 public:
  template <class U>
  struct rebind {
    using other = TUninitializedAllocator<U>;
  };

  TUninitializedAllocator() = default;
  template <class U>
  explicit TUninitializedAllocator(const TUninitializedAllocator<U>&) noexcept {}

  template <class U>
  void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};
