// crv's large C++ allocations (the arrays that hold a whole graph while it is read)
// come straight from the kernel, aligned to a huge page and marked for transparent huge
// pages. Filling such an array touches every page once, and on virtual machines each
// small page fault costs around ten microseconds: one huge page stands for 512 of them.
// Small allocations stay with malloc, and so do large ones where this does not pay (see
// huge_page()).
//
// Replacing the global operator new is only done in crv (mapforge, which allocates and
// frees large buffers all through a scan, tunes malloc's heap instead), never in the
// libraries, and not in sanitizer builds, whose allocators check every block.

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>

#include <sys/mman.h>

#include "plinthar/platform/heap_tuning.hpp"

namespace {

constexpr std::size_t LARGE_BLOCK = std::size_t{1} << 20;
constexpr std::size_t LARGEST_HUGE_PAGE = std::size_t{2} << 20;

// The huge page that large blocks are aligned to, or 0 when they go to malloc: where the
// kernel has no transparent huge pages, where its huge pages are larger than 2 MiB (with
// 64 KiB base pages ARM64 has 512 MiB ones) so that rounding up would cost more than the
// faults saved, and in a 32-bit address space, which cannot spare up to a huge page of
// rounding per block nor the extra huge page reserved while aligning one.
std::size_t huge_page() {
  const std::size_t size = plinthar::platform::transparent_huge_page_size();
  return sizeof(void*) >= 8 && size <= LARGEST_HUGE_PAGE ? size : 0;
}

struct Block {
  void* start = nullptr;
  std::size_t size = 0;
};

// The live large blocks. A handful are alive at a time; when the table is full, further
// large requests go to malloc. Any thread may allocate, so the table has a lock.
std::array<Block, 64> large_blocks;
std::mutex large_blocks_lock;

// Enters `block` in the table; false when it is full.
bool remember(Block block) {
  const std::lock_guard lock(large_blocks_lock);
  for (Block& slot : large_blocks) {
    if (slot.start == nullptr) {
      slot = block;
      return true;
    }
  }
  return false;
}

std::size_t round_up(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

// A huge-page-aligned anonymous mapping of at least `size` bytes, or nullptr.
void* map_large(std::size_t size) {
  const std::size_t page = huge_page();
  if (page == 0 || size > SIZE_MAX - 2 * page) return nullptr;
  const std::size_t length = round_up(size, page);
  const std::size_t reserved = length + page;
  void* raw = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto base = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = round_up(base, page);
  if (aligned > base) ::munmap(raw, aligned - base);
  const std::uintptr_t tail = aligned + length;
  if (base + reserved > tail) ::munmap(reinterpret_cast<void*>(tail), base + reserved - tail);
  void* start = reinterpret_cast<void*>(aligned);
  ::madvise(start, length, MADV_HUGEPAGE);
  if (!remember({start, length})) {
    ::munmap(start, length);
    return nullptr;
  }
  return start;
}

// Unmaps `pointer` when it is a live large block; false when it is not one.
bool unmap_large(void* pointer) {
  const std::size_t page = huge_page();
  if (page == 0 || reinterpret_cast<std::uintptr_t>(pointer) % page != 0) return false;
  Block found;
  {
    const std::lock_guard lock(large_blocks_lock);
    for (Block& block : large_blocks) {
      if (block.start == pointer) {
        found = std::exchange(block, {});
        break;
      }
    }
  }
  if (found.start == nullptr) return false;
  ::munmap(found.start, found.size);
  return true;
}

void* allocate(std::size_t size) noexcept {
  if (size >= LARGE_BLOCK) {
    if (void* block = map_large(size)) return block;
  }
  return std::malloc(size == 0 ? 1 : size);
}

void* allocate_or_throw(std::size_t size) {
  for (;;) {
    if (void* pointer = allocate(size)) return pointer;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void release(void* pointer) noexcept {
  if (pointer != nullptr && !unmap_large(pointer)) std::free(pointer);
}

}  // namespace

void* operator new(std::size_t size) { return allocate_or_throw(size); }
void* operator new[](std::size_t size) { return allocate_or_throw(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { release(pointer); }

#endif
