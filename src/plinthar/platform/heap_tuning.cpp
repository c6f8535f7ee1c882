#include "plinthar/platform/heap_tuning.hpp"

// glibc serves large blocks with mmap() and gives freed memory at the top of the heap
// back to the system, so the per-file buffers of a scan are faulted in again and again,
// and the graph itself is built from 4 KiB pages, each costing a fault. Turning both
// off and marking a large stretch of the heap for transparent huge pages (which this
// kind of system grants only on request) is what the C library's own huge-page
// setting does, done here so that the program does not depend on its environment.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#define PLINTHAR_HEAP_TUNING 1
#endif

namespace plinthar::platform {
namespace {

constexpr std::size_t MIB = std::size_t{1} << 20;
constexpr std::uintptr_t HUGE_PAGE = 2 * MIB;

}  // namespace

std::size_t default_heap_reserve() {
#ifdef PLINTHAR_HEAP_TUNING
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  const auto memory = static_cast<std::size_t>(pages) * static_cast<std::size_t>(page_size);
  return std::min(memory / 4, 256 * MIB);
#else
  return 0;
#endif
}

void tune_heap_for_large_graph(std::size_t reserve) {
#ifdef PLINTHAR_HEAP_TUNING
  static bool tuned = false;
  if (tuned) return;
  tuned = true;
  ::mallopt(M_MMAP_MAX, 0);                          // every block from the heap
  ::mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);   // and the heap never shrinks
  ::mallopt(M_TOP_PAD, static_cast<int>(16 * MIB));  // grown in large steps
  if (reserve < 2 * HUGE_PAGE) return;
  // A block this size extends the heap by at least as much; once freed it stays there
  // as free space that later blocks are cut from, inside the marked stretch.
  void* block = std::malloc(reserve);
  if (block == nullptr) return;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (start + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
  const std::uintptr_t last = (start + reserve) & ~(HUGE_PAGE - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // may be refused
  }
  std::free(block);
#else
  (void)reserve;
#endif
}

}  // namespace plinthar::platform
