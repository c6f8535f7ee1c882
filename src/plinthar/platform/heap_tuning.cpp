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
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#define PLINTHAR_HEAP_TUNING 1
#endif

namespace plinthar::platform {
namespace {

constexpr std::size_t MIB = std::size_t{1} << 20;

}  // namespace

std::size_t heap_reserve_for(std::uint64_t physical_pages, std::uint64_t page_size) {
  const std::uint64_t memory = physical_pages * page_size;
  return static_cast<std::size_t>(std::min<std::uint64_t>(memory / 4, 256 * MIB));
}

std::size_t default_heap_reserve() {
#ifdef PLINTHAR_HEAP_TUNING
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return heap_reserve_for(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(page_size));
#else
  return 0;
#endif
}

std::size_t transparent_huge_page_size() {
#ifdef PLINTHAR_HEAP_TUNING
  // Plain system calls: crv's operator new asks for this, so nothing here may allocate.
  static const std::size_t size = [] {
    const int fd =
        ::open("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::size_t{0};
    char text[32];
    const ssize_t count = ::read(fd, text, sizeof text);
    ::close(fd);
    std::uint64_t value = 0;
    for (ssize_t i = 0; i < count && text[i] >= '0' && text[i] <= '9'; ++i) {
      value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
      if (value >= (std::uint64_t{1} << 30)) return std::size_t{0};  // no usable page size
    }
    // A size that is no power of two is no page size.
    return (value & (value - 1)) == 0 ? static_cast<std::size_t>(value) : std::size_t{0};
  }();
  return size;
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
  const std::uintptr_t huge_page = transparent_huge_page_size();
  if (huge_page == 0 || reserve < 2 * huge_page) return;
  // A block this size extends the heap by at least as much; once freed it stays there
  // as free space that later blocks are cut from, inside the marked stretch.
  void* block = std::malloc(reserve);
  if (block == nullptr) return;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (start + huge_page - 1) & ~(huge_page - 1);
  const std::uintptr_t last = (start + reserve) & ~(huge_page - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // may be refused
  }
  std::free(block);
#else
  (void)reserve;
#endif
}

}  // namespace plinthar::platform
