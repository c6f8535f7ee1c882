#include "plinthar/platform/page_release.hpp"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace plinthar::platform {

void release_pages(char* begin, std::size_t size) noexcept {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t first = (start + page - 1) / page * page;
  const std::uintptr_t end = (start + size) / page * page;
  if (end <= first) return;
  ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

}  // namespace plinthar::platform
