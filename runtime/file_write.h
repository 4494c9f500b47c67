#pragma once
// Every write into the program's files (streams, the log, the list of saved files) goes
// through WriteToFile, which is the system's write. Tests put their own writer in its
// place for as long as a TScopedFileWriter lives, to make the writes of chosen files fail
// as a full disk does (a tmpfs of their own is not to be had everywhere):
//
//   TScopedFileWriter full([](const std::string& name, int fd, const void* data, size_t n) {
//     if (name.starts_with(chart)) { errno = ENOSPC; return ssize_t{-1}; }
//     return ::write(fd, data, n);
//   });

#include <sys/types.h>

#include <functional>
#include <string>

#include "runtime/replaceable.h"

using TFileWriter =
    std::function<ssize_t(const std::string& fileName, int fd, const void* data, size_t count)>;

// As ::write(fd, data, count), through the writer in place; fileName names the open file.
ssize_t WriteToFile(const std::string& fileName, int fd, const void* data, size_t count);

// The writer in place of the system's while a TScopedFileWriter lives.
TReplaceable<TFileWriter>& FileWriterHook();

// Writes through writer while it lives, then restores the writer it replaced.
class TScopedFileWriter : public TScopedReplacement<TFileWriter> {
 public:
  explicit TScopedFileWriter(TFileWriter writer)
      : TScopedReplacement(FileWriterHook(), std::move(writer)) {}
};
