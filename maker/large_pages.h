// The file images, which the search reads all over: in pages of 2 MB instead
// of 4 KB the processor finds a page in its translation cache where it
// otherwise walks the page tables, a miss of its own, on many reads. The
// lists are left in small pages: each large page costs the kernel a search
// for 2 MB of free contiguous memory when first touched (compaction where
// memory is fragmented, or on a virtual machine whose host took its free
// pages back), and lists of hundreds of megabytes, written once, lost more
// to those faults than they gained in lookups (mariadbd, libgs and
// libwebkit2gtk AUTO, libnode MODE 3: 0.77 to 0.97 of the time); an 8 MB
// oldfile of one byte value, whose 64 MB of lists are filed in order, pays
// about a tenth more for their 4 KB faults.
#pragma once

#include <cstddef>

namespace vd {

// Asks for large pages over the whole 2 MB pages inside the block; a hint
// only, to be given before the block is first written.
void ask_for_large_pages(void* memory, std::size_t bytes);

}  // namespace vd
