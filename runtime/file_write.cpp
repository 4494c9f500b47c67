#include "runtime/file_write.h"

#include <unistd.h>

TReplaceable<TFileWriter>& FileWriterHook() {
  static TReplaceable<TFileWriter> hook;
  return hook;
}

ssize_t WriteToFile(const std::string& fileName, int fd, const void* data, size_t count) {
  const std::shared_ptr<const TFileWriter> current = FileWriterHook().Current();
  return current ? (*current)(fileName, fd, data, count) : ::write(fd, data, count);
}
