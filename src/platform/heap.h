#pragma once

namespace qlx {

/// Transfer chunks bring a buffer of up to 2 MiB with every message.  Tells the
/// C library's allocator to keep such blocks for reuse instead of mapping and
/// unmapping them (and faulting their pages in) for every frame.
void keep_large_blocks_in_heap();

}  // namespace qlx
