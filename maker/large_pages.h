// Memory the search reads all over: the file images, their lists and sorted
// suffixes, together hundreds of megabytes for a large file. In pages of
// 2 MB instead of 4 KB the kernel takes one fault where it took 512, and the
// processor finds a page in its translation cache where it otherwise walks
// the page tables, a miss of its own, on nearly every read of the binary
// searches.
#pragma once

#include <cstddef>

namespace vd {

// Asks for large pages over the whole 2 MB pages inside the block; a hint
// only, to be given before the block is first written.
void ask_for_large_pages(void* memory, std::size_t bytes);

}  // namespace vd
