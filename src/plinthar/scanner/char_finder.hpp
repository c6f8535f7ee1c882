#pragma once

// Repeated "next occurrence of this character" queries over one text.

#include <cstddef>
#include <string_view>

namespace plinthar::scanner {

// Finds the next occurrence of one character at or after a position, remembering the last
// answer: queries that move forward through a stretch without the character reuse it, so
// a scan that asks once per candidate costs time linear in the text, not quadratic.
class CharFinder {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  // `text` must outlive the finder.
  CharFinder(std::string_view text, char wanted) : text_(text), wanted_(wanted) {}

  // Offset of the first `wanted` at or after `from`, or npos.
  std::size_t operator()(std::size_t from) {
    const bool reusable = has_answer_ && from >= asked_ && (found_ == npos || from <= found_);
    if (!reusable) {
      asked_ = from;
      found_ = text_.find(wanted_, from);
      has_answer_ = true;
    }
    return found_;
  }

 private:
  std::string_view text_;
  char wanted_;
  bool has_answer_ = false;
  std::size_t asked_ = 0;
  std::size_t found_ = npos;
};

}  // namespace plinthar::scanner
