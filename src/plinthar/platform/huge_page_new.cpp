// crv's large C++ allocations (the arrays that hold a whole graph while it is read)
// come straight from the kernel, aligned to 2 MiB and marked for transparent huge pages.
// Filling such an array touches every page once, and on virtual machines each small page
// fault costs around ten microseconds: one huge page stands for 512 of them.
// Small allocations stay with malloc. Where the kernel has no huge pages the advice is
// ignored and the blocks are ordinary mappings.
//
// Replacing the global operator new is only done in crv (mapforge, which allocates and
// frees large buffers all through a scan, tunes malloc's heap instead), never in the
// libraries, and not in sanitizer builds, whose allocators check every block.

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;
constexpr std::size_t LARGE_BLOCK = std::size_t{1} << 20;

struct Block {
  void* start = nullptr;
  std::size_t size = 0;
};

// The live large blocks. A handful are alive at a time; when the table is full, further
// large requests go to malloc.
std::array<Block, 64> large_blocks;

Block* free_slot() {
  for (Block& block : large_blocks) {
    if (block.start == nullptr) return &block;
  }
  return nullptr;
}

std::size_t round_up(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

// A 2 MiB-aligned anonymous mapping of at least `size` bytes, or nullptr.
void* map_large(std::size_t size) {
  Block* slot = free_slot();
  if (slot == nullptr || size > SIZE_MAX - 2 * HUGE_PAGE) return nullptr;
  const std::size_t length = round_up(size, HUGE_PAGE);
  const std::size_t reserved = length + HUGE_PAGE;
  void* raw = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto base = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = round_up(base, HUGE_PAGE);
  if (aligned > base) ::munmap(raw, aligned - base);
  const std::uintptr_t tail = aligned + length;
  if (base + reserved > tail) ::munmap(reinterpret_cast<void*>(tail), base + reserved - tail);
  void* start = reinterpret_cast<void*>(aligned);
  ::madvise(start, length, MADV_HUGEPAGE);
  *slot = {start, length};
  return start;
}

// Unmaps `pointer` when it is a live large block; false when it is not one.
bool unmap_large(void* pointer) {
  if (reinterpret_cast<std::uintptr_t>(pointer) % HUGE_PAGE != 0) return false;
  for (Block& block : large_blocks) {
    if (block.start == pointer) {
      ::munmap(block.start, block.size);
      block = {};
      return true;
    }
  }
  return false;
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
