#include "runtime/memory_reuse.h"

#include <malloc.h>

namespace {

// Blocks below this come from the heap instead of a mapping of their own; the allocator
// accepts at most 32 MiB here, more than a 1728 x 2200 true-colour image needs.
constexpr int kMappedBlockThreshold = 32 << 20;
// Free memory at the top of the heap is given back only beyond this.
constexpr int kTrimThreshold = 128 << 20;

}  // namespace

void KeepFreedImageMemory() {
  mallopt(M_MMAP_THRESHOLD, kMappedBlockThreshold);
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}
