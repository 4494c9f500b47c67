#include "runtime/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/file_write.h"

int64_t TStream::Size() {
  const int64_t here = Position();
  const int64_t end = Seek(0, soEnd);
  Seek(here, soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count)
    throw EWriteError(WriteFailure(), WriteErrorNumber());
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kChunk)));
  int64_t copied = 0;
  while (copied < count) {
    const int64_t n = std::min(kChunk, count - copied);
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    copied += n;
  }
  return copied;
}

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case fmCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case fmOpenRead:
      flags |= O_RDONLY;
      break;
    case fmOpenWrite:
      flags |= O_WRONLY;
      break;
    case fmOpenReadWrite:
      flags |= O_RDWR;
      break;
  }
  do {
    fd_ = ::open(fileName.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  struct stat info {};
  if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
  }
  if (fd_ < 0) {
    const int error = errno;
    if (mode == fmCreate) throw EFCreateError("Cannot create file " + fileName, error);
    throw EFOpenError("Cannot open file " + fileName, error);
  }
}

namespace {

// Room is taken a window at a time ahead of the writes: a file system hands out blocks in
// large runs for less than block by block, and a length that was a lie holds no more
// than a window of the disk.
constexpr int64_t kReserveWindow = 8 * 1024 * 1024;

}  // namespace

TFileStream::~TFileStream() {
  if (fd_ < 0) return;
  ReleaseUnwritten();
  ::close(fd_);
}

void TFileStream::ExpectWrite(int64_t count) {
  const int64_t here = Position();
  expectedEnd_ = here + std::max<int64_t>(count, 0);
  reservedEnd_ = std::max(reservedEnd_, here);
}

void TFileStream::ReserveAhead(int64_t writeStart, int64_t writeEnd) {
  if (writeEnd <= reservedEnd_) return;
  const int64_t start = std::max(reservedEnd_, writeStart);
  const int64_t end = std::min(expectedEnd_, writeEnd + kReserveWindow);
  // A medium without the call, or too full for the room, says so when the bytes come.
  if (end <= start || ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, start, end - start) != 0)
    expectedEnd_ = 0;
  // A failed call may have taken part of the room all the same.
  reservedEnd_ = std::max(reservedEnd_, end);
}

// Room past the end that no byte came for (the body was cut) goes back to the disk.
void TFileStream::ReleaseUnwritten() {
  struct stat info {};
  if (reservedEnd_ > 0 && ::fstat(fd_, &info) == 0 && info.st_size < reservedEnd_)
    (void)::ftruncate(fd_, info.st_size);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, out + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (expectedEnd_ > reservedEnd_) {
    const int64_t here = Position();
    ReserveAhead(here, here + count);
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = WriteToFile(fileName_, fd_, in + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) writeErrno_ = errno;
    // A write that takes nothing without an error is a full medium.
    if (n == 0) writeErrno_ = ENOSPC;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t position = ::lseek(fd_, offset, whence);
  if (position >= 0) return position;
  // A failed seek leaves the position where it was; a pipe has none to tell.
  const off_t here = ::lseek(fd_, 0, SEEK_CUR);
  return here < 0 ? 0 : here;
}

void TFileStream::SetSize(int64_t size) {
  if (::ftruncate(fd_, size) == 0) return;
  writeErrno_ = errno;
  throw EWriteError(WriteFailure(), writeErrno_);
}

void TFileStream::Flush() {
  if (::fsync(fd_) == 0 || errno == EINVAL) return;
  writeErrno_ = errno;
  throw EWriteError(WriteFailure(), writeErrno_);
}

std::string TFileStream::WriteErrorReason() const {
  return writeErrno_ == 0 ? std::string() : std::strerror(writeErrno_);
}

std::string TFileStream::WriteFailure() const {
  return "Cannot write " + fileName_ + ": " + WriteErrorReason();
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t available = std::max<int64_t>(0, Size() - position_);
  const int64_t n = std::clamp<int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ + count > Size()) bytes_.resize(static_cast<size_t>(position_ + count));
  std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : Size();
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  bytes_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
  position_ = std::min(position_, Size());
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(source.Size()));
  source.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  bytes_ = std::move(bytes);
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& target) const {
  target.WriteBuffer(bytes_.data(), static_cast<int64_t>(bytes_.size()));
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  SaveFileAtomically(fileName, [this](TStream& file) { SaveToStream(file); });
}
