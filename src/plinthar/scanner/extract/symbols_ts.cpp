#include "plinthar/scanner/extract/symbols_ts.hpp"

// Six declaration patterns run over the whole text, each in text order; the first pass
// (and first match) that names a symbol decides its record. A symbol's block ends where
// its braces balance, counted line by line from the declaration.
//
// Five of the patterns cost time proportional to the text. The arrow-constant pattern
// does not: its `\([^)]*\)` alternative scans to the next ")" anywhere in the text, so a
// file of many "export const a = (" lines without a ")" costs quadratic time in any
// backtracking engine. That pass is evaluated in two steps instead: a pattern for the
// part up to "=" (which has a single way to match), then the alternatives by hand with
// the position of the next ")" remembered between declarations.

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "plinthar/scanner/extract/body_hash.hpp"
#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::scanner {

namespace {

constexpr std::int64_t BLOCK_SCAN_LINES = 400;
constexpr std::int64_t BLOCK_FALLBACK_LINES = 100;

struct BraceCount {
  std::int64_t opens = 0;
  std::int64_t closes = 0;
};

// A brace right after a backslash is escaped (regex or string text) and does not count.
BraceCount count_braces(std::string_view line) {
  BraceCount count;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool escaped = i > 0 && line[i - 1] == '\\';
    if (line[i] == '{' && !escaped) ++count.opens;
    if (line[i] == '}' && !escaped) ++count.closes;
  }
  return count;
}

// The brace walk over per-line counts; `count_of(i)` gives the counts of line i.
template <typename CountOf>
std::int64_t walk_block(std::int64_t line_count, std::int64_t start, CountOf&& count_of) {
  std::int64_t depth = 0;
  bool found_open = false;
  const std::int64_t limit = std::min(line_count, start + BLOCK_SCAN_LINES);
  for (std::int64_t i = start; i < limit; ++i) {
    const BraceCount count = count_of(i);
    depth += count.opens - count.closes;
    if (count.opens > 0) found_open = true;
    if (found_open && depth <= 0) return i;
  }
  return std::min(line_count - 1, start + BLOCK_FALLBACK_LINES);
}

// Code point number `index` of `text`, if it has that many.
std::optional<char32_t> code_point_at(std::string_view text, std::size_t index) {
  std::size_t pos = 0;
  for (std::size_t i = 0; pos < text.size(); ++i) {
    const char32_t cp = text::next_code_point(text, pos);
    if (i == index) return cp;
  }
  return std::nullopt;
}

bool is_hook_name(std::string_view name) {
  if (!name.starts_with("use")) return false;
  const auto fourth = code_point_at(name, 3);
  return fourth && text::is_uppercase(*fourth);
}

// End of `function`, `(...) =>` or `word =>` starting exactly at `at`, tried in that order.
std::optional<std::size_t> arrow_value_end(std::string_view text, std::size_t at,
                                           text::CharFinder& close_paren) {
  static const text::Regex arrow(R"(\s*=>)");
  static const text::Regex word_arrow(R"(\w+\s*=>)");
  const std::string_view rest = text.substr(at);
  if (rest.starts_with("function")) return at + 8;
  if (rest.starts_with("(")) {
    const std::size_t close = close_paren(at + 1);
    if (close != std::string_view::npos) {
      if (const auto found = arrow.match(text.substr(close + 1))) return close + 1 + found->end();
    }
  }
  if (const auto found = word_arrow.match(rest)) return at + found->end();
  return std::nullopt;
}

// End of the value part after "=" and its white space: first with a leading `async`,
// then without, as the optional group is tried greedily.
std::optional<std::size_t> arrow_tail_end(std::string_view text, std::size_t at,
                                          text::CharFinder& close_paren) {
  static const text::Regex async_prefix(R"(async\s+)");
  if (const auto found = async_prefix.match(text.substr(at))) {
    if (const auto end = arrow_value_end(text, at + found->end(), close_paren)) return end;
  }
  return arrow_value_end(text, at, close_paren);
}

class TsExtractor {
 public:
  TsExtractor(std::string_view text, std::string_view file_path)
      : text_(text), file_path_(file_path) {}

  std::vector<SymbolRecord> run() {
    route_handlers();
    functions();
    arrow_constants();
    types();
    classes();
    schemas();
    return std::move(result_);
  }

 private:
  // Lines and line starts are built on the first declaration found: most files of a
  // project declare something, but a large file that declares nothing pays nothing.
  std::int64_t line_of(std::size_t offset) {
    if (!line_index_) line_index_.emplace(text_);
    return static_cast<std::int64_t>(line_index_->line_of(offset));
  }

  const std::vector<std::string_view>& lines() {
    if (!lines_) lines_ = text::split_lines(text_);
    return *lines_;
  }

  void route_handlers() {
    static const text::Regex pattern(
        R"(^export\s+(?:async\s+)?function\s+(GET|POST|PUT|PATCH|DELETE|HEAD|OPTIONS)\s*[\(<])",
        text::MULTILINE);
    if (!text::contains(text_, "export")) return;
    pattern.for_each(text_, [&](const text::RegexMatch& found) {
      add_sym(found.group(1), line_of(found.start()), {"api_route", "high"}, true);
      return true;
    });
  }

  void functions() {
    static const text::Regex pattern(
        R"(^(export\s+)?(default\s+)?(async\s+)?function\s+([A-Za-z_]\w*)\s*[\(<])",
        text::MULTILINE);
    if (!text::contains(text_, "function")) return;
    pattern.for_each(text_, [&](const text::RegexMatch& found) {
      const bool exported = found.matched(1);
      const Classification kind = _classify_ts(found.group(4), exported);
      if (kind.first != "api_route")
        add_sym(found.group(4), line_of(found.start()), kind, exported);
      return true;
    });
  }

  void arrow_constants() {
    for (const TextMatch& found : find_arrow_constants(text_)) {
      add_sym(found.group, line_of(found.start), _classify_ts(found.group, true), true);
    }
  }

  void types() {
    static const text::Regex pattern(R"(^(export\s+)?(?:interface|type)\s+([A-Za-z_]\w*)\s*[={<])",
                                     text::MULTILINE);
    if (!text::contains(text_, "type") && !text::contains(text_, "interface")) return;
    for_each_model(pattern);
  }

  void classes() {
    static const text::Regex pattern(R"(^(export\s+)?(?:default\s+)?class\s+([A-Za-z_]\w*))",
                                     text::MULTILINE);
    if (!text::contains(text_, "class")) return;
    for_each_model(pattern);
  }

  void schemas() {
    static const text::Regex pattern(R"(^(?:export\s+)?const\s+([A-Za-z_]\w*[Ss]chema)\s*=\s*z\.)",
                                     text::MULTILINE);
    if (!text::contains(text_, "z.")) return;
    pattern.for_each(text_, [&](const text::RegexMatch& found) {
      add_sym(found.group(1), line_of(found.start()), {"model", "high"}, true);
      return true;
    });
  }

  void add_sym(std::string_view name, std::int64_t line_no, Classification kind, bool exported) {
    if (name.empty() || !seen_.emplace(name).second) return;
    const std::int64_t end = block_end(line_no);
    if (!hasher_) hasher_.emplace(lines());
    auto body_hash = hasher_->hash(line_no, end);
    if (!body_hash) return;
    result_.push_back(SymbolRecord{
        .id = std::string(file_path_) + "::" + std::string(name),
        .name = std::string(name),
        .symbol_type = std::string(kind.first),
        .line_start = line_no,
        .line_end = end,
        .body_hash = std::move(*body_hash),
        .confidence = std::string(kind.second),
        .exported = exported,
        .keywords = _name_keywords(name),
    });
  }

  // Brace counts of all lines are taken once, so that many symbols in a file with long
  // lines do not each recount the same 400-line window.
  std::int64_t block_end(std::int64_t start) {
    if (brace_counts_.empty()) {
      brace_counts_.reserve(lines().size());
      for (const std::string_view line : lines()) brace_counts_.push_back(count_braces(line));
    }
    return walk_block(static_cast<std::int64_t>(brace_counts_.size()), start,
                      [&](std::int64_t i) { return brace_counts_[static_cast<std::size_t>(i)]; });
  }

  // Types, interfaces and classes: the name is group 2, exported when group 1 took part.
  void for_each_model(const text::Regex& pattern) {
    pattern.for_each(text_, [&](const text::RegexMatch& found) {
      add_sym(found.group(2), line_of(found.start()), {"model", "high"}, found.matched(1));
      return true;
    });
  }

  std::string_view text_;
  std::string_view file_path_;
  std::optional<std::vector<std::string_view>> lines_;
  std::optional<text::LineIndex> line_index_;
  std::optional<BodyHasher> hasher_;
  std::vector<BraceCount> brace_counts_;
  std::unordered_set<std::string> seen_;
  std::vector<SymbolRecord> result_;
};

}  // namespace

std::vector<SymbolRecord> extract_symbols_ts(std::string_view content, std::string_view file_path) {
  return TsExtractor(content, file_path).run();
}

std::int64_t _find_block_end_ts(const std::vector<std::string_view>& lines, std::int64_t start) {
  return walk_block(static_cast<std::int64_t>(lines.size()), start, [&](std::int64_t i) {
    return count_braces(lines[static_cast<std::size_t>(i)]);
  });
}

Classification _classify_ts(std::string_view name, bool exported) {
  static const text::Regex route_name(R"(^(GET|POST|PUT|PATCH|DELETE|HEAD|OPTIONS)$)");
  if (route_name.match(name)) return {"api_route", "high"};
  if (is_hook_name(name)) return {"hook", "high"};
  if (!exported) return {"utility", "medium"};
  const auto first = code_point_at(name, 0);
  if (first && text::is_uppercase(*first)) return {"use_case", "medium"};
  return {"use_case", "high"};
}

std::vector<TextMatch> find_arrow_constants(std::string_view text) {
  // Up to "=" and its white space the declaration can match in one way only; every
  // shorter split leaves white space or a word character where the next item cannot
  // start, so the full pattern succeeds at a line exactly when the tail does.
  static const text::Regex head(R"(^export\s+(?:const|let)\s+([A-Za-z_]\w*)\s*=\s*)",
                                text::MULTILINE);
  std::vector<TextMatch> matches;
  if (!text::contains(text, "export")) return matches;
  text::CharFinder close_paren(text, ')');
  std::size_t from = 0;
  while (const auto found = head.search(text, from)) {
    if (const auto end = arrow_tail_end(text, found->end(), close_paren)) {
      matches.push_back({found->start(), *end, found->group(1)});
      from = *end;
    } else {
      from = found->start() + 1;  // the match starts with the ASCII "e" of export
    }
  }
  return matches;
}

}  // namespace plinthar::scanner
