#include "platform/heap.h"

namespace qlx {

// The process heap keeps no tunable threshold for large blocks; the frame
// buffer is reused by the channel instead.
void keep_large_blocks_in_heap() {}

}  // namespace qlx
