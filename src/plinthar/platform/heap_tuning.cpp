#include "plinthar/platform/heap_tuning.hpp"

// glibc serves large blocks with mmap() and gives freed memory at the top of the heap
// back to the system, so the per-file buffers of a scan are faulted in again and again.
// Turning both off keeps the pages a scan has touched for its later blocks.

#include <cstddef>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#define PLINTHAR_HEAP_TUNING 1
#endif

namespace plinthar::platform {

void tune_heap_for_large_graph() {
#ifdef PLINTHAR_HEAP_TUNING
  static bool tuned = false;
  if (tuned) return;
  tuned = true;
  constexpr std::size_t MIB = std::size_t{1} << 20;
  ::mallopt(M_MMAP_MAX, 0);                          // every block from the heap
  ::mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);   // and the heap never shrinks
  ::mallopt(M_TOP_PAD, static_cast<int>(16 * MIB));  // grown in large steps
#endif
}

}  // namespace plinthar::platform
