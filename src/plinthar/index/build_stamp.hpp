#pragma once

// Which build wrote an index: an index is valid only for the build that wrote it, since
// its layouts and what ranking prepares in it may change from build to build.

#include <cstdint>

namespace plinthar::index {

// content_hash of this build's identification (its version and source revision).
std::uint64_t build_hash();

}  // namespace plinthar::index
