#include "plinthar/index/build_stamp.hpp"

#include "plinthar/text/content_hash.hpp"

#ifndef PLINTHAR_BUILD_ID
#define PLINTHAR_BUILD_ID "unknown"
#endif

namespace plinthar::index {

std::uint64_t build_hash() {
  static const std::uint64_t hash = text::content_hash(PLINTHAR_BUILD_ID);
  return hash;
}

}  // namespace plinthar::index
