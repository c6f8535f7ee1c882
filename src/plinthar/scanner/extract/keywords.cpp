#include "plinthar/scanner/extract/keywords.hpp"

#include <cstddef>
#include <unordered_set>

#include "plinthar/scanner/extract/decl_scan.hpp"
#include "plinthar/scanner/extract/keyword_prechecks.hpp"
#include "plinthar/scanner/extract/languages.hpp"
#include "plinthar/text/ascii.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::scanner {

namespace {

constexpr std::size_t MAX_FILE_KEYWORDS = 80;
constexpr std::size_t MAX_NAME_KEYWORDS = 10;

// Ordered, duplicate-free keywords. Words only ever append, so once `limit` words are
// in, nothing later can change the result and the collectors stop early.
class KeywordList {
 public:
  explicit KeywordList(std::size_t limit) : limit_(limit) {}

  bool full() const { return tokens_.size() >= limit_; }

  void add(std::string_view word) {
    if (full()) return;
    const std::string lowered = text::to_lower(word);
    std::string_view w = lowered;
    while (!w.empty() && w.front() == '_') w.remove_prefix(1);
    while (!w.empty() && w.back() == '_') w.remove_suffix(1);
    if (text::cp_length(w) < 3) return;
    if (!seen_.emplace(w).second) return;
    tokens_.emplace_back(w);
  }

  void add_name(std::string_view name) {
    add(name);
    for (const std::string& part : _split_camel(name)) add(part);
  }

  std::vector<std::string> take() && { return std::move(tokens_); }

 private:
  std::size_t limit_;
  std::vector<std::string> tokens_;
  std::unordered_set<std::string> seen_;
};

// Pieces of `text` between occurrences of `separator`, empty pieces included.
std::vector<std::string_view> split_at(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t pos = text.find(separator); pos != std::string_view::npos;
       pos = text.find(separator, start)) {
    pieces.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

std::string_view strip_char(std::string_view text, char c) {
  while (!text.empty() && text.front() == c) text.remove_prefix(1);
  while (!text.empty() && text.back() == c) text.remove_suffix(1);
  return text;
}

// `text` with every occurrence of `part` removed, left to right in one pass.
std::string remove_all(std::string_view text, std::string_view part) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t pos = text.find(part); pos != std::string_view::npos;
       pos = text.find(part, start)) {
    out.append(text.substr(start, pos - start));
    start = pos + part.size();
  }
  out.append(text.substr(start));
  return out;
}

// A route match: the method, then every non-empty path segment without its
// parameter punctuation.
void add_route(KeywordList& keywords, const text::RegexMatch& found) {
  static const text::Regex param_marks(R"([{}:<>])");
  keywords.add(text::to_upper(found.group(1)));
  for (std::string_view seg : split_at(strip_char(found.group(2), '/'), '/')) {
    const std::string cleaned = param_marks.sub("", seg);
    if (!cleaned.empty()) keywords.add(cleaned);
  }
}

void add_route_registrations(KeywordList& keywords, std::string_view content) {
  static const text::Regex registration(
      R"((?:app|router|r|mux|api)\s*[.\@]\s*(get|post|put|delete|patch|handle|handlefunc)\s*\(\s*['"/]([^'")\s]+))",
      text::IGNORECASE);
  static const text::Regex decorator(
      R"(@\w+\.(get|post|put|delete|patch)\s*\(\s*[\'"]([^\'"]+)[\'"])", text::IGNORECASE);
  const auto add = [&](const text::RegexMatch& found) {
    add_route(keywords, found);
    return !keywords.full();
  };
  if (may_register_route(content)) registration.for_each(content, add);
  decorator.for_each(content, add);
}

void add_script_names(KeywordList& keywords, std::string_view content) {
  static const text::Regex declaration(
      R"(export\s+(?:default\s+)?(?:async\s+)?(?:function|class|const|type|interface|enum)\s+([A-Za-z_]\w*))");
  static const text::Regex export_list(R"(export\s*\{([^}]+)\})");
  static const text::Regex list_separator(R"([,\s]+)");
  declaration.for_each(content, [&](const text::RegexMatch& found) {
    keywords.add_name(found.group(1));
    return !keywords.full();
  });
  export_list.for_each(content, [&](const text::RegexMatch& found) {
    for (std::string_view piece : list_separator.split(found.group(1))) {
      piece = text::trim(piece);
      if (!piece.empty()) keywords.add_name(piece);
    }
    return !keywords.full();
  });
}

void add_python_names(KeywordList& keywords, std::string_view content) {
  static const text::Regex declaration(
      R"(^(?:async\s+)?def\s+([A-Za-z_]\w*)|^class\s+([A-Za-z_]\w*))", text::MULTILINE);
  declaration.for_each(content, [&](const text::RegexMatch& found) {
    const std::string_view name = found.group(1).empty() ? found.group(2) : found.group(1);
    if (name.empty() || name.front() == '_') return true;
    keywords.add_name(name);
    for (std::string_view part : split_at(name, '_')) keywords.add(part);
    return !keywords.full();
  });
}

void add_go_names(KeywordList& keywords, std::string_view content) {
  for_each_go_func(content, [&](const DeclMatch& found) {
    keywords.add_name(found.name);
    return !keywords.full();
  });
}

void add_swift_names(KeywordList& keywords, std::string_view content) {
  const DeclVisitor add = [&](const DeclMatch& found) {
    keywords.add_name(found.name);
    return !keywords.full();
  };
  for_each_swift_type(content, add);
  for_each_swift_func(content, add);
}

void add_declared_names(KeywordList& keywords, std::string_view content, std::string_view ext) {
  if (is_script_ext(ext)) {
    add_script_names(keywords, content);
  } else if (ext == ".py") {
    add_python_names(keywords, content);
  } else if (ext == ".go") {
    add_go_names(keywords, content);
  } else if (ext == ".swift") {
    add_swift_names(keywords, content);
  }
}

// Words of four or more ASCII letters from the file's leading docstring or block comment.
void add_doc_words(KeywordList& keywords, std::string_view content) {
  static const text::Regex docstring(R"(\s*"""([^"]{10,200}))");
  static const text::Regex block_comment(R"(\s*/\*\*?\s*([^\n*]{10,200}))");
  static const text::Regex word(R"([a-zA-Z]{4,})");
  for (const text::Regex* pattern : {&docstring, &block_comment}) {
    const auto found = pattern->match(content);
    if (!found) continue;
    word.for_each(found->group(1), [&](const text::RegexMatch& w) {
      keywords.add(w.group());
      return !keywords.full();
    });
  }
}

void add_url_segments(KeywordList& keywords, std::string_view content) {
  static const text::Regex http_call(
      R"((?:fetch|axios\.(?:get|post|put|delete)|requests\.(?:get|post|put|delete))\s*\(\s*[`'"](https?://[^`'"]+|/[^`'"]+)[`'"])",
      text::IGNORECASE);
  static const text::Regex query_marks(R"([{}?=&<>])");
  if (!may_call_http(content)) return;
  http_call.for_each(content, [&](const text::RegexMatch& found) {
    const std::string url = remove_all(remove_all(found.group(1), "http://"), "https://");
    for (std::string_view seg : split_at(strip_char(url, '/'), '/')) {
      const std::string cleaned = query_marks.sub("", seg);
      const std::string_view label = std::string_view(cleaned).substr(0, cleaned.find('.'));
      if (text::cp_length(label) >= 3) keywords.add(label);
    }
    return !keywords.full();
  });
}

unsigned char byte_at(std::string_view text, std::size_t pos) {
  return static_cast<unsigned char>(text[pos]);
}

// Replaces every match of ([A-Z]+)([A-Z][a-z]) with "\1 \2", left to right: a run of
// capitals followed by a lower-case letter gives up its last capital to the word after
// it ("HTTPServer" -> "HTTP Server"). A backtracking engine retries each run from every
// capital in it, which is quadratic on a long run when the engine has no JIT; a
// match can only begin at the first capital of a run of two or more that is followed
// by a lower-case letter, so one pass over the runs finds the same matches.
std::string split_capital_runs(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 8);
  std::size_t i = 0;
  while (i < s.size()) {
    if (!text::is_ascii_upper(byte_at(s, i))) {
      out.push_back(s[i++]);
      continue;
    }
    std::size_t run_end = i;
    while (run_end < s.size() && text::is_ascii_upper(byte_at(s, run_end))) ++run_end;
    if (run_end - i >= 2 && run_end < s.size() && text::is_ascii_lower(byte_at(s, run_end))) {
      out.append(s.substr(i, run_end - 1 - i));
      out.push_back(' ');
      out.append(s.substr(run_end - 1, 2));
      i = run_end + 1;
    } else {
      out.append(s.substr(i, run_end - i));
      i = run_end;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> extract_keywords(std::string_view content, std::string_view ext) {
  KeywordList keywords(MAX_FILE_KEYWORDS);
  add_route_registrations(keywords, content);
  add_declared_names(keywords, content, ext);
  add_doc_words(keywords, content);
  add_url_segments(keywords, content);
  return std::move(keywords).take();
}

std::vector<std::string> _name_keywords(std::string_view name) {
  KeywordList keywords(MAX_NAME_KEYWORDS);
  keywords.add(name);
  for (const std::string& part : _split_camel(name)) keywords.add(part);
  for (std::string_view piece : split_at(name, '_')) keywords.add(piece);
  return std::move(keywords).take();
}

std::vector<std::string> _split_camel(std::string_view name) {
  static const text::Regex lower_upper(R"(([a-z0-9])([A-Z]))");
  const std::string s = split_capital_runs(lower_upper.sub("\\1 \\2", name));
  std::vector<std::string> parts;
  for (std::string_view part : text::split_whitespace(s)) {
    if (text::cp_length(part) >= 3) parts.push_back(text::to_lower(part));
  }
  return parts;
}

}  // namespace plinthar::scanner
