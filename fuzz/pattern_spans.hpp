#pragma once

// Matches as offsets, so that a hand-written scanner can be held to the plain regular
// expression it replaces: same matches, same spans, same first capture.

#include <array>
#include <string_view>
#include <vector>

#include "plinthar/scanner/extract/text_match.hpp"
#include "plinthar/text/regex.hpp"

namespace plinthar::fuzz {

// Whole-match start and end, and the first capture's start (0 when empty) and size.
using Spans = std::vector<std::array<std::size_t, 4>>;

inline Spans spans_of(std::string_view text, const std::vector<scanner::TextMatch>& matches) {
  Spans spans;
  for (const scanner::TextMatch& m : matches) {
    const auto at = m.group.empty() ? 0 : static_cast<std::size_t>(m.group.data() - text.data());
    spans.push_back({m.start, m.end, at, m.group.size()});
  }
  return spans;
}

inline Spans plain_spans(const text::Regex& pattern, std::string_view text) {
  Spans spans;
  pattern.for_each(text, [&](const text::RegexMatch& found) {
    const auto at = found.group(1).empty() ? 0 : found.start(1);
    spans.push_back({found.start(), found.end(), at, found.group(1).size()});
    return true;
  });
  return spans;
}

}  // namespace plinthar::fuzz
