#include "plinthar/scanner/extract/python_imports.hpp"

// Both patterns start at a line start, take the whole white space run there (which may
// span blank lines) and then need a keyword. When that fails, no start inside the same
// run can do better: it reaches the same keyword position, or a line start right at it
// with nothing to skip. So each run is tried once, from its first line start, and the
// search goes on at the first line start after it. A match starts at that first line
// start, and the next search begins where it ends.

#include <cstring>
#include <optional>

#include "plinthar/scanner/extract/pattern_space.hpp"

namespace plinthar::scanner {
namespace {

bool is_module_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.';
}

// Offset just past the module-name characters starting at `pos`.
std::size_t skip_module(std::string_view text, std::size_t pos) {
  while (pos < text.size() && is_module_char(text[pos])) ++pos;
  return pos;
}

// Offset past `word` followed by at least one white space character and the rest of that
// run, when `word` stands at `pos`.
std::optional<std::size_t> word_then_space(std::string_view text, std::size_t pos,
                                           std::string_view word) {
  if (text.substr(pos, word.size()) != word) return std::nullopt;
  pos += word.size();
  const std::size_t after = skip_pattern_space(text, pos);
  if (after == pos) return std::nullopt;
  return after;
}

// `import\s+([a-zA-Z0-9_\.]+)` at `pos`.
std::optional<TextMatch> import_at(std::string_view text, std::size_t pos) {
  const auto name = word_then_space(text, pos, "import");
  if (!name) return std::nullopt;
  const std::size_t end = skip_module(text, *name);
  if (end == *name) return std::nullopt;
  return TextMatch{0, end, text.substr(*name, end - *name)};
}

// `from\s+([a-zA-Z0-9_\.]+)\s+import\s+` at `pos`.
std::optional<TextMatch> from_import_at(std::string_view text, std::size_t pos) {
  const auto name = word_then_space(text, pos, "from");
  if (!name) return std::nullopt;
  const std::size_t name_end = skip_module(text, *name);
  if (name_end == *name) return std::nullopt;
  const std::size_t keyword = skip_pattern_space(text, name_end);
  if (keyword == name_end) return std::nullopt;
  const auto end = word_then_space(text, keyword, "import");
  if (!end) return std::nullopt;
  return TextMatch{0, *end, text.substr(*name, name_end - *name)};
}

// First line start at or after `pos`: `pos` itself at the text's start or after "\n".
std::size_t next_line_start(std::string_view text, std::size_t pos) {
  if (pos == 0 || text[pos - 1] == '\n') return pos;
  const std::size_t newline = text.find('\n', pos);
  return newline == std::string_view::npos ? std::string_view::npos : newline + 1;
}

template <typename MatchAt>
std::vector<TextMatch> find_at_line_starts(std::string_view text, MatchAt match_at) {
  std::vector<TextMatch> matches;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = next_line_start(text, pos);
    if (start >= text.size()) break;
    const std::size_t keyword = skip_pattern_space(text, start);
    if (auto found = match_at(text, keyword)) {
      found->start = start;
      pos = found->end;
      matches.push_back(*found);
      continue;
    }
    pos = keyword > start ? keyword : start + 1;
  }
  return matches;
}

}  // namespace

std::vector<TextMatch> find_python_imports(std::string_view text) {
  return find_at_line_starts(text, import_at);
}

std::vector<TextMatch> find_python_from_imports(std::string_view text) {
  return find_at_line_starts(text, from_import_at);
}

}  // namespace plinthar::scanner
