#include "plinthar/scanner/extract/summary.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "plinthar/scanner/extract/languages.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::scanner {

namespace {

constexpr std::size_t MAX_LEAD_CHARS = 120;
constexpr std::size_t MAX_SUMMARY_CHARS = 250;
constexpr std::size_t MAX_NAMES = 5;
constexpr std::size_t LEAD_LINES = 5;

std::string normalise_whitespace(std::string_view text) {
  std::string out;
  for (std::string_view piece : text::split_whitespace(text)) {
    if (!out.empty()) out.push_back(' ');
    out.append(piece);
  }
  return out;
}

std::string remove_char(std::string_view text, char c) {
  std::string out;
  std::copy_if(text.begin(), text.end(), std::back_inserter(out), [c](char x) { return x != c; });
  return out;
}

}  // namespace

std::optional<std::string_view> leading_block_comment(std::string_view content) {
  // A closing "*/" cannot begin inside white space, so giving back white space after
  // the opener never finds an earlier close: the possessive form matches exactly what
  // the lazy one does, without retrying the tail once per white-space character.
  static const text::Regex comment(R"(\s*/\*\*?\s*+(.*?)\*/)", text::DOTALL);
  const auto found = comment.match(content);
  if (!found) return std::nullopt;
  return found->group(1);
}

namespace {

std::string doc_comment_lead(std::string_view content, std::string_view ext) {
  if (ext == ".py") {
    static const text::Regex docstring(R"(^\s*(?:\'\'\'|""")([^\'\"]{8,200}?)(?:\'\'\'|"""))",
                                       text::DOTALL);
    const auto found = docstring.search(content);
    if (!found) return {};
    return std::string(text::cp_prefix(normalise_whitespace(found->group(1)), MAX_LEAD_CHARS));
  }
  if (is_script_ext(ext)) {
    const auto body = leading_block_comment(content);
    if (!body) return {};
    return std::string(
        text::cp_prefix(normalise_whitespace(remove_char(*body, '*')), MAX_LEAD_CHARS));
  }
  return {};
}

std::string_view strip_leading(std::string_view text, char c) {
  while (!text.empty() && text.front() == c) text.remove_prefix(1);
  return text;
}

// The first of the opening lines with more than nine characters once comment marks and
// white space are stripped.
std::string first_line_lead(std::string_view content) {
  const std::vector<std::string_view> lines = text::first_lines(content, LEAD_LINES);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view s =
        text::trim(strip_leading(strip_leading(text::trim(lines[i]), '#'), '/'));
    if (text::cp_length(s) > 9) return std::string(text::cp_prefix(s, MAX_LEAD_CHARS));
  }
  return {};
}

std::vector<std::string_view> declared_names(std::string_view content, std::string_view ext) {
  static const text::Regex python_decl(
      R"(^(?:async\s+)?def\s+([A-Za-z_]\w*)|^class\s+([A-Za-z_]\w*))", text::MULTILINE);
  static const text::Regex script_decl(
      R"((?:export\s+)?(?:async\s+)?function\s+([A-Za-z_]\w*)|(?:export\s+)?class\s+([A-Za-z_]\w*))",
      text::MULTILINE);
  const bool python = ext == ".py";
  if (!python && !is_script_ext(ext)) return {};
  std::vector<std::string_view> names;
  (python ? python_decl : script_decl).for_each(content, [&](const text::RegexMatch& found) {
    const std::string_view name = found.group(1).empty() ? found.group(2) : found.group(1);
    if (name.empty() || (python && name.front() == '_')) return true;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    return names.size() < MAX_NAMES;
  });
  return names;
}

bool is_generic_part(std::string_view part) {
  static constexpr std::array<std::string_view, 6> GENERIC = {"src", "lib",  "app",
                                                              "pkg", "main", "index"};
  const std::string lowered = text::to_lower(part);
  return std::find(GENERIC.begin(), GENERIC.end(), lowered) != GENERIC.end();
}

std::string replace_char(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

// What the file's location says it is about: its last two meaningful path pieces.
std::string path_domain(std::string_view path) {
  static const text::Regex separators(R"([/\\])");
  static const text::Regex extension(R"(\.\w+$)");
  std::string valid;  // a file name need not be UTF-8
  std::vector<std::string_view> parts;
  for (std::string_view piece : separators.split(text::valid_utf8(path, valid))) {
    if (!piece.empty() && piece != ".") parts.push_back(piece);
  }
  std::vector<std::string_view> domain_parts;
  std::copy_if(parts.begin(), parts.end(), std::back_inserter(domain_parts),
               [](std::string_view part) { return !is_generic_part(part); });
  std::string domain;
  if (!domain_parts.empty()) {
    const std::size_t first = domain_parts.size() >= 2 ? domain_parts.size() - 2 : 0;
    for (std::size_t i = first; i < domain_parts.size(); ++i) {
      if (i > first) domain.push_back(' ');
      domain.append(domain_parts[i]);
    }
    domain = replace_char(replace_char(std::move(domain), '_', ' '), '-', ' ');
  } else if (!parts.empty()) {
    domain = parts.back();
  }
  if (const auto found = extension.search(domain))
    domain.erase(found->start(), found->end() - found->start());
  return domain;
}

std::string contains_sentence(const std::vector<std::string_view>& names) {
  std::string out = "Contains " + std::to_string(names.size()) + " " +
                    (names.size() == 1 ? "function" : "functions/classes") + ": ";
  const std::size_t shown = std::min<std::size_t>(names.size(), 4);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) out.append(", ");
    out.append(names[i]);
  }
  if (names.size() == MAX_NAMES) out.append(", ...");
  return out + ".";
}

}  // namespace

std::string _make_summary(std::string_view content, std::string_view path, std::string_view ext) {
  std::string lead = doc_comment_lead(content, ext);
  if (lead.empty()) lead = first_line_lead(content);
  const std::vector<std::string_view> names = declared_names(content, ext);
  const std::string domain = path_domain(path);

  std::vector<std::string> sentences;
  if (!lead.empty()) {
    std::string_view body = lead;
    while (!body.empty() && body.back() == '.') body.remove_suffix(1);
    sentences.push_back(std::string(body) + ".");
  }
  if (!domain.empty()) sentences.push_back("Handles " + domain + ".");
  if (!names.empty()) sentences.push_back(contains_sentence(names));

  std::string summary;
  for (const std::string& sentence : sentences) {
    if (!summary.empty()) summary.push_back(' ');
    summary.append(sentence);
  }
  return std::string(text::cp_prefix(summary, MAX_SUMMARY_CHARS));
}

}  // namespace plinthar::scanner
