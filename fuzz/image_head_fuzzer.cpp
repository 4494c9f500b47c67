// Feeds arbitrary first bytes of a download to ReadImageHead, as the source check does with
// what a server sends. Checks: a size comes only with a kind, both sides or neither, and
// the description starts with the kind.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "source_check/image_head.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TImageHead head = ReadImageHead(std::vector<uint8_t>(data, data + size));
  const bool sized = head.Width > 0 && head.Height > 0;
  if (!sized && (head.Width != 0 || head.Height != 0)) abort();
  if (sized && head.MimeType.empty()) abort();
  if (DescribeImageHead(head).rfind(head.MimeType, 0) != 0) abort();
  return 0;
}
