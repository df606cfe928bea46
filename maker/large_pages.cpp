#include "maker/large_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace vd {

void ask_for_large_pages(void* memory, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
  const auto start = (reinterpret_cast<std::uintptr_t>(memory) + kLargePage - 1) & ~(kLargePage - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes) & ~(kLargePage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)memory;
  (void)bytes;
#endif
}

}  // namespace vd
