#include "plinthar/text/text_arena.hpp"

#include <algorithm>
#include <cstring>

namespace plinthar::text {

char* TextArena::reserve(std::size_t size) {
  if (size > left_) {
    // Blocks grow from small to large, so a few texts cost little and many texts few
    // allocations. A text larger than a block gets a block of its own, and the current
    // block stays in use.
    next_block_ = std::min(next_block_ * 2, MAX_BLOCK_SIZE);
    if (size > next_block_) {
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
      return blocks_.back().get();
    }
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(next_block_));
    free_ = blocks_.back().get();
    left_ = next_block_;
  }
  char* start = free_;
  free_ += size;
  left_ -= size;
  return start;
}

std::string_view TextArena::keep(std::string_view text) {
  if (text.empty()) return {};
  char* start = reserve(text.size());
  std::memcpy(start, text.data(), text.size());
  return {start, text.size()};
}

std::string_view TextArena::join(const std::vector<std::string_view>& parts, char separator) {
  if (parts.empty()) return {};
  std::size_t size = parts.size() - 1;
  for (const std::string_view part : parts) size += part.size();
  if (size == 0) return {};
  char* start = reserve(size);
  char* out = start;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) *out++ = separator;
    std::memcpy(out, parts[i].data(), parts[i].size());
    out += parts[i].size();
  }
  return {start, size};
}

}  // namespace plinthar::text
