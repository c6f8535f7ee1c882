#pragma once

// Stable storage for many small texts: views handed out stay valid for the arena's
// lifetime, and the texts share a few large blocks instead of one allocation each.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace plinthar::text {

class TextArena {
 public:
  // A copy of `text` kept by the arena.
  std::string_view keep(std::string_view text);

  // `parts` joined by `separator`, kept by the arena.
  std::string_view join(const std::vector<std::string_view>& parts, char separator);

 private:
  char* reserve(std::size_t size);

  static constexpr std::size_t MAX_BLOCK_SIZE = std::size_t{1} << 20;
  std::size_t next_block_ = 1024;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;
  std::size_t left_ = 0;
};

}  // namespace plinthar::text
