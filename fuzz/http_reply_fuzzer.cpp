// Feeds an arbitrary server reply to the reply reader, once whole and once cut into pieces
// whose sizes come from the input itself. Checks: both give the same pieces, header lines
// hold no line end and fit the limit, the body count is the sum of the body pieces, and
// nothing follows a failure.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/http_reply_reader.h"

namespace {

struct TSeen {
  TReplyPieceKind kind;
  std::string bytes;
  bool operator==(const TSeen&) const = default;
};

void Check(bool condition) {
  if (!condition) abort();
}

bool Failure(TReplyPieceKind kind) {
  return kind == TReplyPieceKind::kLineTooLong || kind == TReplyPieceKind::kHeaderTooLarge ||
         kind == TReplyPieceKind::kBadContentLength || kind == TReplyPieceKind::kBadChunk;
}

void Take(THttpReplyReader& reader, std::vector<TSeen>& seen) {
  TReplyPiece piece;
  while (reader.Next(piece)) {
    Check(seen.empty() || !Failure(seen.back().kind));
    if (piece.kind == TReplyPieceKind::kHeaderLine) {
      Check(piece.bytes.find('\n') == std::string_view::npos);
      Check(piece.bytes.size() < THttpReplyReader::kMaxLineLength);
    }
    // Body pieces of different cuts differ in size: they are compared joined.
    if (piece.kind == TReplyPieceKind::kBody && !seen.empty() &&
        seen.back().kind == TReplyPieceKind::kBody)
      seen.back().bytes.append(piece.bytes);
    else
      seen.push_back({piece.kind, std::string(piece.bytes)});
  }
}

int64_t BodyBytes(const std::vector<TSeen>& seen) {
  int64_t count = 0;
  for (const TSeen& piece : seen)
    if (piece.kind == TReplyPieceKind::kBody || piece.kind == TReplyPieceKind::kHeaderlessDocument)
      count += static_cast<int64_t>(piece.bytes.size());
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  THttpReplyReader whole;
  std::vector<TSeen> wholeSeen;
  whole.Feed(bytes, size);
  Take(whole, wholeSeen);
  Check(whole.BodyBytes() == BodyBytes(wholeSeen));

  THttpReplyReader cut;
  std::vector<TSeen> cutSeen;
  // Each byte of the input also gives the length of a cut (1 to 256); a copy per cut
  // lets the address sanitizer see a piece used after its Feed.
  for (size_t at = 0, step = 0; at < size; ++step) {
    const size_t length = std::min<size_t>(size - at, 1 + data[step % size]);
    const std::string copy(bytes + at, length);
    cut.Feed(copy.data(), copy.size());
    Take(cut, cutSeen);
    at += length;
  }
  Check(cutSeen == wholeSeen);
  Check(cut.ContentLength() == whole.ContentLength());
  return 0;
}
