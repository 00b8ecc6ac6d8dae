// large_pages.h: room for a large buffer, in the kernel's 2 MB pages where it has them.
#pragma once

#include <cstddef>
#include <cstdint>
#if defined(__linux__)
#include <sys/mman.h>
#endif

// Reserves room for most elements in the buffer (a vector or a string) and
// asks the kernel to back the part not yet touched with pages of 2 MB: the
// first touch of a large maze's cells then faults once each 2 MB rather
// than each 4 KB. Elsewhere, or where the kernel declines, it only reserves.
template <typename Buffer>
void ReserveInLargePages(Buffer& buffer, size_t most) {
  buffer.reserve(most);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const uintptr_t kPage = 4096;
  uintptr_t from = (reinterpret_cast<uintptr_t>(buffer.data() + buffer.size()) + kPage - 1) & ~(kPage - 1);
  uintptr_t to = reinterpret_cast<uintptr_t>(buffer.data() + buffer.capacity()) & ~(kPage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}
