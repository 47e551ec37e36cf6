#include <malloc.h>

#include "platform/heap.h"

namespace qlx {

void keep_large_blocks_in_heap() {
  // Blocks below 8 MiB come from the heap, and up to 16 MiB of freed space
  // stays there: the peak is still a few megabytes.
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 16 << 20);
}

}  // namespace qlx
