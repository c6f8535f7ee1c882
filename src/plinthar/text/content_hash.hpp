#pragma once

// A fast 64-bit hash of file contents (XXH3), to tell whether a file is the one an index
// was made from. Not for anything that must resist an adversary.

#include <cstdint>
#include <memory>
#include <string_view>

namespace plinthar::text {

std::uint64_t content_hash(std::string_view bytes);

// The same hash over bytes that arrive in pieces.
class ContentHasher {
 public:
  ContentHasher();
  ~ContentHasher();
  ContentHasher(const ContentHasher&) = delete;
  ContentHasher& operator=(const ContentHasher&) = delete;

  void add(std::string_view bytes);
  // content_hash of everything added so far.
  std::uint64_t value() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace plinthar::text
