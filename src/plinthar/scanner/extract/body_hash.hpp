#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plinthar::scanner {

// Short hash of lines[start..end] (inclusive) joined with "\n". An `end` past the last
// line stops at the last line; a `start` past `end` or past the lines hashes "".
std::string _body_hash(const std::vector<std::string_view>& lines, std::int64_t start,
                       std::int64_t end);

// Bytes of symbol bodies that one file may hash in all. An ordinary file hashes about its
// own size; a hostile one whose blocks all run to its end (thousands of declarations and
// nothing that closes a block) would otherwise hash symbols x file size bytes.
constexpr std::size_t MAX_HASHED_BODY_BYTES = 32u << 20;

// Body hashes for the symbols of one file, equal to `_body_hash`, within the file's
// budget. `lines` must outlive the hasher.
class BodyHasher {
 public:
  explicit BodyHasher(const std::vector<std::string_view>& lines,
                      std::size_t budget = MAX_HASHED_BODY_BYTES);

  // `_body_hash(lines, start, end)`, or nothing once hashing it would exceed the budget;
  // extraction then stops adding symbols for this file.
  std::optional<std::string> hash(std::int64_t start, std::int64_t end);

 private:
  const std::vector<std::string_view>& lines_;
  std::vector<std::size_t> size_before_;    // bytes of lines [0, i)
  std::vector<std::size_t> breaks_before_;  // joints before line i that are not one "\n"
  std::size_t budget_left_;
};

}  // namespace plinthar::scanner
