#include "station/memory_file.h"

#include <cerrno>

#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

std::string ReadMemoryFile(const std::string& fileName) {
  TMemoryStream bytes;
  try {
    bytes.LoadFromFile(fileName);
  } catch (const EFOpenError& error) {
    if (error.ErrorNumber() == ENOENT) return {};
    throw;
  }
  return {bytes.Bytes().begin(), bytes.Bytes().end()};
}

bool WriteMemoryFile(const std::string& fileName, const std::string& text) {
  try {
    SaveFileAtomically(fileName, [&](TStream& out) { out.WriteBuffer(text.data(), text.size()); });
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
