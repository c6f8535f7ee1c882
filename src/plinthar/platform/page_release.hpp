#pragma once

// Giving memory that will not be read again back to the system while the block that
// holds it stays allocated.

#include <cstddef>

namespace plinthar::platform {

// Gives back the whole pages within [begin, begin + size); they read as zero bytes
// afterwards. Where the system cannot, nothing happens.
void release_pages(char* begin, std::size_t size) noexcept;

}  // namespace plinthar::platform
