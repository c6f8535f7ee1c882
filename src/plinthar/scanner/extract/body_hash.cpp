#include "plinthar/scanner/extract/body_hash.hpp"

#include <algorithm>

#include "plinthar/text/short_hash.hpp"

namespace plinthar::scanner {

std::string _body_hash(const std::vector<std::string_view>& lines, std::int64_t start,
                       std::int64_t end) {
  const auto count = static_cast<std::int64_t>(lines.size());
  const std::int64_t last = std::min(end, count - 1);
  std::string body;
  bool first = true;
  for (std::int64_t i = std::max<std::int64_t>(start, 0); i <= last; ++i) {
    if (!first) body.push_back('\n');
    first = false;
    body.append(lines[static_cast<std::size_t>(i)]);
  }
  return text::short_hash(body);
}

namespace {

// Whether `next` follows `line` in the same text with exactly one "\n" between them.
bool joined_by_line_feed(std::string_view line, std::string_view next) {
  return next.data() == line.data() + line.size() + 1 && line.data()[line.size()] == '\n';
}

}  // namespace

BodyHasher::BodyHasher(const std::vector<std::string_view>& lines, std::size_t budget)
    : lines_(lines), budget_left_(budget) {
  size_before_.reserve(lines.size() + 1);
  breaks_before_.reserve(lines.size() + 1);
  size_before_.push_back(0);
  breaks_before_.push_back(0);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    size_before_.push_back(size_before_.back() + lines[i].size());
    const bool joined = i + 1 < lines.size() && joined_by_line_feed(lines[i], lines[i + 1]);
    breaks_before_.push_back(breaks_before_.back() + (joined ? 0 : 1));
  }
}

std::optional<std::string> BodyHasher::hash(std::int64_t start, std::int64_t end) {
  const auto count = static_cast<std::int64_t>(lines_.size());
  const std::int64_t first = std::max<std::int64_t>(start, 0);
  const std::int64_t last = std::min(end, count - 1);
  if (first > last) return text::short_hash("");
  const auto from = static_cast<std::size_t>(first);
  const auto to = static_cast<std::size_t>(last);
  const std::size_t bytes = size_before_[to + 1] - size_before_[from] + (to - from);
  if (bytes > budget_left_) return std::nullopt;
  budget_left_ -= bytes;
  // Lines that lie in the text one "\n" apart are hashed in place, without joining them.
  if (breaks_before_[to] == breaks_before_[from]) {
    return text::short_hash(std::string_view(lines_[from].data(), bytes));
  }
  return _body_hash(lines_, start, end);
}

}  // namespace plinthar::scanner
