#pragma once

// A match found by a hand-written scanner, in the same terms as a regex match, so that
// scanners standing in for a pattern can be checked against that pattern.

#include <cstddef>
#include <string_view>

namespace plinthar::scanner {

struct TextMatch {
  std::size_t start = 0;   // byte offset of the whole match
  std::size_t end = 0;     // byte offset just past the whole match
  std::string_view group;  // the first capture, a view into the scanned text

  bool operator==(const TextMatch&) const = default;
};

}  // namespace plinthar::scanner
