#include "plinthar/text/content_hash.hpp"

// The library is compiled into this file alone, so nothing needs to link it.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "plinthar/error.hpp"

namespace plinthar::text {

struct ContentHasher::State {
  XXH3_state_t xxh;
};

std::uint64_t content_hash(std::string_view bytes) {
  return XXH3_64bits(bytes.data(), bytes.size());
}

ContentHasher::ContentHasher() : state_(std::make_unique<State>()) {
  if (XXH3_64bits_reset(&state_->xxh) != XXH_OK) throw Error("cannot start a content hash");
}

ContentHasher::~ContentHasher() = default;

void ContentHasher::add(std::string_view bytes) {
  XXH3_64bits_update(&state_->xxh, bytes.data(), bytes.size());
}

std::uint64_t ContentHasher::value() const { return XXH3_64bits_digest(&state_->xxh); }

}  // namespace plinthar::text
