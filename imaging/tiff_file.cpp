#include "imaging/tiff_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

constexpr const char* kTiffErrorClassName = "ETiffError";
constexpr const char* kOpenItem = "TIFFOpen";
// libtiff names the file in its messages, which go nowhere.
constexpr const char* kFileName = "stream";
constexpr auto kSeekFailed = static_cast<toff_t>(-1);
constexpr size_t kMessageSize = 512;

// libtiff's last error message on this thread: the reason a libtiff call failed.
thread_local std::string lastLibraryError;

void KeepLibraryError(const char*, const char* format, va_list arguments) {
  char message[kMessageSize];
  std::vsnprintf(message, sizeof message, format, arguments);
  lastLibraryError = message;
}

void RouteTiffLibraryMessages() {
  static const bool routed = [] {
    TIFFSetErrorHandler(KeepLibraryError);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)routed;
}

// Offsets come from the file; one that leaves the range of positions is a bad file.
bool Target(int64_t from, toff_t offset, int64_t& target) {
  return !__builtin_add_overflow(from, static_cast<int64_t>(offset), &target) && target >= 0;
}

}  // namespace

// libtiff's client procedures: memory for reading, the stream for writing.
struct TTiffCallbacks {
  static TTiffFile& FileOf(thandle_t handle) { return *static_cast<TTiffFile*>(handle); }

  static tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size) {
    TTiffFile& file = FileOf(handle);
    const int64_t count = std::clamp<int64_t>(file.size_ - file.position_, 0, size);
    if (count > 0) std::memcpy(buffer, file.data_ + file.position_, static_cast<size_t>(count));
    file.position_ += count;
    return static_cast<tmsize_t>(count);
  }

  static tmsize_t Write(thandle_t handle, void* buffer, tmsize_t size) {
    return static_cast<tmsize_t>(FileOf(handle).stream_.Write(buffer, size));
  }

  static toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
    TTiffFile& file = FileOf(handle);
    const int64_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.position_ : file.size_;
    int64_t target;
    if (!Target(from, offset, target)) return kSeekFailed;
    file.position_ = target;
    return static_cast<toff_t>(target);
  }

  static toff_t SeekStream(thandle_t handle, toff_t offset, int whence) {
    TTiffFile& file = FileOf(handle);
    TStream& stream = file.stream_;
    const int64_t from = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? stream.Position() - file.base_
                                              : stream.Size() - file.base_;
    int64_t target;
    if (!Target(from, offset, target)) return kSeekFailed;
    return static_cast<toff_t>(stream.Seek(file.base_ + target, soBeginning) - file.base_);
  }

  static int Close(thandle_t) { return 0; }

  static toff_t SizeMemory(thandle_t handle) { return static_cast<toff_t>(FileOf(handle).size_); }

  static toff_t SizeStream(thandle_t handle) {
    TTiffFile& file = FileOf(handle);
    return static_cast<toff_t>(file.stream_.Size() - file.base_);
  }

  static int Map(thandle_t handle, void** base, toff_t* size) {
    TTiffFile& file = FileOf(handle);
    if (!file.data_) return 0;
    *base = file.data_;
    *size = static_cast<toff_t>(file.size_);
    return 1;
  }

  static int NoMap(thandle_t, void**, toff_t*) { return 0; }

  static void Unmap(thandle_t, void*, toff_t) {}
};

TTiffFile::TTiffFile(TStream& Stream, TMode Mode) : stream_(Stream), base_(Stream.Position()) {
  RouteTiffLibraryMessages();
  lastLibraryError.clear();
  if (Mode == tmWrite) {
    tiff_ =
        TIFFClientOpen(kFileName, "w", this, TTiffCallbacks::Read, TTiffCallbacks::Write,
                       TTiffCallbacks::SeekStream, TTiffCallbacks::Close,
                       TTiffCallbacks::SizeStream, TTiffCallbacks::NoMap, TTiffCallbacks::Unmap);
  } else {
    size_ = std::max<int64_t>(0, Stream.Size() - base_);
    if (auto* memory = dynamic_cast<TMemoryStream*>(&Stream)) {
      data_ = memory->Memory() + base_;
    } else {
      copy_.resize(static_cast<size_t>(size_));
      size_ = Stream.Read(copy_.data(), size_);
      data_ = copy_.data();
    }
    tiff_ = TIFFClientOpen(kFileName, "rc", this, TTiffCallbacks::Read, TTiffCallbacks::Write,
                           TTiffCallbacks::SeekMemory, TTiffCallbacks::Close,
                           TTiffCallbacks::SizeMemory, TTiffCallbacks::Map, TTiffCallbacks::Unmap);
  }
  if (!tiff_) RaiseTiffError(kOpenItem);
}

TTiffFile::~TTiffFile() {
  TIFFClose(tiff_);
}

void RaiseTiffError(const std::string& Item) {
  throw ETiffError(std::string(kTiffErrorClassName) + " " + Item);
}

void RaiseTiffLibraryError(const std::string& Item) {
  RaiseTiffError(lastLibraryError.empty() ? Item : Item + ": " + lastLibraryError);
}

void NoteTiffLibraryError(const std::string& Reason) {
  lastLibraryError = Reason;
}
