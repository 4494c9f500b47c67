#pragma once
// THttpChunkedBody: takes a body sent with "Transfer-Encoding: chunked" (RFC 9112
// section 7.1) apart as its bytes come: chunk sizes, chunk data, the last chunk and the
// trailer. The data is handed out as views into the input, never copied; only a size or
// trailer line cut by the end of the input is held.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class THttpChunkedBody {
 public:
  // No server sends a size line (with its extensions) or a trailer line this long.
  static constexpr size_t kMaxLineLength = 8192;
  // The whole trailer, which nothing here reads, is bounded as a header is.
  static constexpr size_t kMaxTrailerSize = 64 * 1024;

  enum class TStep {
    kData,      // data holds the next bytes of the document
    kNeedMore,  // all of the input is taken; the body goes on
    kDone,      // the last chunk and the trailer are in; what follows is no part of it
    kFailed,    // not chunked encoding: the body cannot be read
  };

  // Takes what belongs to the body from the front of input; data is valid while the
  // input's bytes are.
  TStep Next(std::string_view& input, std::string_view& data);

 private:
  enum class TState { kSize, kData, kDataEnd, kTrailer, kDone, kFailed };

  TState state_ = TState::kSize;
  uint64_t remaining_ = 0;  // of the chunk being read
  std::string line_;        // the start of a line cut by the end of the input
  size_t trailerBytes_ = 0;

  bool TakeLine(std::string_view& input, std::string& line);
  TStep Fail();
  void SizeLine(const std::string& line);
};
