#include "plinthar/scanner/extract/symbols_py.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "plinthar/scanner/extract/body_hash.hpp"
#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/scanner/extract/py_block_ends.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::scanner {

namespace {

// How far (in lines, either way) a route decorator may stand from the function it marks.
constexpr std::size_t ROUTE_WINDOW = 3;

// Per-file state of one extraction: the two line notions, the records so far and the
// names already taken.
class PySymbolCollector {
 public:
  PySymbolCollector(std::string_view content, std::string_view file_path)
      : content_(content), file_path_(file_path), index_(content) {}

  std::size_t line_of(std::size_t offset) const { return index_.line_of(offset); }

  void add_sym(std::string_view name, std::size_t line_no, std::string_view sym_type) {
    if (name.empty() || !seen_.emplace(name).second) return;
    if (!lines_) lines_ = text::split_lines(content_);
    if (!ends_) ends_.emplace(*lines_);
    if (!hasher_) hasher_.emplace(*lines_);
    const std::size_t end = ends_->block_end(line_no);
    auto body_hash =
        hasher_->hash(static_cast<std::int64_t>(line_no), static_cast<std::int64_t>(end));
    if (!body_hash) return;
    SymbolRecord record;
    record.id = std::string(file_path_) + "::" + std::string(name);
    record.name = std::string(name);
    record.symbol_type = std::string(sym_type);
    record.line_start = static_cast<std::int64_t>(line_no);
    record.line_end = static_cast<std::int64_t>(end);
    record.body_hash = std::move(*body_hash);
    record.confidence = "high";
    record.exported = name.front() != '_';
    record.keywords = _name_keywords(name);
    records_.push_back(std::move(record));
  }

  std::vector<SymbolRecord> take() && { return std::move(records_); }

 private:
  std::string_view content_;
  std::string_view file_path_;
  text::LineIndex index_;
  // Built on the first symbol: files without one need none of them.
  std::optional<std::vector<std::string_view>> lines_;
  std::optional<PyBlockEnds> ends_;
  std::optional<BodyHasher> hasher_;
  std::unordered_set<std::string_view> seen_;
  std::vector<SymbolRecord> records_;
};

// Line indexes of route decorators, in text order (so sorted), anywhere in the text.
std::vector<std::size_t> route_decorator_lines(std::string_view content,
                                               const PySymbolCollector& collector) {
  static const text::Regex decorator(
      R"(@(?:app|router|blueprint)\.(?:get|post|put|delete|patch)\s*\()",
      text::MULTILINE | text::IGNORECASE);
  std::vector<std::size_t> lines;
  decorator.for_each(content, [&](const text::RegexMatch& found) {
    lines.push_back(collector.line_of(found.start()));
    return true;
  });
  return lines;
}

bool near_route(const std::vector<std::size_t>& deco_lines, std::size_t line_no) {
  const std::size_t low = line_no >= ROUTE_WINDOW ? line_no - ROUTE_WINDOW : 0;
  const auto it = std::lower_bound(deco_lines.begin(), deco_lines.end(), low);
  return it != deco_lines.end() && *it <= line_no + ROUTE_WINDOW;
}

}  // namespace

std::vector<SymbolRecord> extract_symbols_py(std::string_view content, std::string_view file_path) {
  static const text::Regex function(R"(^(?:async\s+)?def\s+([A-Za-z_]\w*)\s*\()", text::MULTILINE);
  static const text::Regex class_decl(R"(^class\s+([A-Za-z_]\w*))", text::MULTILINE);
  PySymbolCollector collector(content, file_path);
  const std::vector<std::size_t> deco_lines = route_decorator_lines(content, collector);
  function.for_each(content, [&](const text::RegexMatch& found) {
    const std::string_view name = found.group(1);
    if (name.starts_with("_") || name.starts_with("test_")) return true;
    const std::size_t line_no = collector.line_of(found.start());
    collector.add_sym(name, line_no, near_route(deco_lines, line_no) ? "api_route" : "use_case");
    return true;
  });
  class_decl.for_each(content, [&](const text::RegexMatch& found) {
    collector.add_sym(found.group(1), collector.line_of(found.start()), "model");
    return true;
  });
  return std::move(collector).take();
}

std::size_t _find_block_end_py(const std::vector<std::string_view>& lines, std::size_t start) {
  static const text::Regex opener(R"(\s*(?:async\s+)?def\s+|class\s+|@)");
  if (start + 1 >= lines.size()) return start;
  const std::size_t base_indent = leading_space_length(lines[start]);
  std::size_t last_content = start;
  for (std::size_t i = start + 1; i < lines.size(); ++i) {
    if (text::trim(lines[i]).empty()) continue;
    if (leading_space_length(lines[i]) <= base_indent && opener.match(lines[i])) {
      return last_content;
    }
    last_content = i;
  }
  return last_content;
}

}  // namespace plinthar::scanner
