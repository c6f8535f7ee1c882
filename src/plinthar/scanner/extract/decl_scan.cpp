#include "plinthar/scanner/extract/decl_scan.hpp"

#include "plinthar/text/ascii.hpp"
#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/regex.hpp"

// How the scanners stay linear while reporting the same matches as the patterns:
// - Every "\s+" in these patterns is followed by something that must begin with a
//   letter or "(", so giving back white space never helps; each "\s+" can take its
//   longest run once.
// - The modifier words (and the keywords after them) are distinct and none is a
//   prefix of another, so the modifier run from a line start is fixed, and only the
//   longest run can be followed by the declaration keyword.
// - Every later line start inside that run (or inside the white space before it) runs
//   into the same end of the run, so when the declaration fails after it, those line
//   starts fail too and are skipped.
// - "[^)]+" followed by ")" can only stop at the first ")" after the "(", which is
//   found once with a forward-moving cursor instead of once per line.
// The small anchored patterns used below are the pieces of the original patterns, so
// white space and word characters mean exactly what they meant there.

namespace plinthar::scanner {

namespace {

constexpr std::size_t NONE = std::string_view::npos;

// Length of the match of `pattern` anchored at `pos`, or NONE.
std::size_t match_length_at(const text::Regex& pattern, std::string_view text, std::size_t pos) {
  if (pos > text.size()) return NONE;
  const auto found = pattern.match(text.substr(pos));
  return found ? found->end() : NONE;
}

// First line start (0, or just after a "\n") at or after `from`, or NONE.
std::size_t line_start_from(std::string_view text, std::size_t from) {
  if (from == 0) return 0;
  const std::size_t newline = text.find('\n', from - 1);
  return newline == NONE ? NONE : newline + 1;
}

bool starts_with_one_of(std::string_view text, std::size_t pos, std::string_view firsts) {
  return pos < text.size() && firsts.find(text[pos]) != NONE;
}

// Whether the character at `pos` may be white space (a superset: every non-ASCII
// byte, and ASCII white space in any of its usual senses).
bool may_be_space(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return false;
  const auto c = static_cast<unsigned char>(text[pos]);
  return c >= 0x80 || text::is_ascii_text_space(c);
}

// Runs `attempt` at every line start that can hold a match; `attempt` returns the
// offset from which to look for the next line start, or NONE to stop.
template <typename Attempt>
void for_each_line_start(std::string_view text, Attempt&& attempt) {
  for (std::size_t p = 0; p != NONE && p < text.size();) {
    const std::size_t next = attempt(p);
    if (next == NONE) return;
    p = line_start_from(text, next);
  }
}

// End of the run of modifier words, each with the white space after it, from `pos`.
std::size_t skip_modifiers(const text::Regex& modifier, std::string_view firsts,
                           std::string_view text, std::size_t pos) {
  while (starts_with_one_of(text, pos, firsts)) {
    const std::size_t length = match_length_at(modifier, text, pos);
    if (length == NONE) break;
    pos += length;
  }
  return pos;
}

// Tries `declaration` (whose group 1 is the name) at `at` for the match begun at line
// start `start`; returns where to continue, or NONE when the visitor stops the scan.
// On failure every line start up to `at` fails the same way, so the scan goes on after it.
std::size_t finish_declaration(const text::Regex& declaration, std::string_view firsts,
                               std::string_view text, std::size_t start, std::size_t at,
                               const DeclVisitor& visit) {
  if (!starts_with_one_of(text, at, firsts)) return at + 1;
  const auto found = declaration.match(text.substr(at));
  if (!found) return at + 1;
  const DeclMatch match{start, text.substr(at + found->start(1), found->end(1) - found->start(1))};
  if (!visit(match)) return NONE;
  return at + found->end();
}

}  // namespace

void for_each_go_func(std::string_view text, const DeclVisitor& visit) {
  static const text::Regex func_keyword(R"(func\s+)");
  static const text::Regex spaces(R"(\s+)");
  static const text::Regex exported_name(R"([A-Z]\w*)");
  text::CharFinder close_paren(text, ')');
  for_each_line_start(text, [&](std::size_t p) -> std::size_t {
    if (text[p] != 'f') return p + 1;
    const std::size_t keyword = match_length_at(func_keyword, text, p);
    if (keyword == NONE) return p + 1;
    std::size_t name_at = p + keyword;
    if (name_at < text.size() && text[name_at] == '(') {
      // A receiver: at least one character, then the first ")", then white space.
      const std::size_t close = close_paren(name_at + 1);
      if (close == NONE || close == name_at + 1) return p + 1;
      const std::size_t gap = match_length_at(spaces, text, close + 1);
      if (gap == NONE) return p + 1;
      name_at = close + 1 + gap;
    }
    const std::size_t name = match_length_at(exported_name, text, name_at);
    if (name == NONE) return p + 1;
    if (!visit(DeclMatch{p, text.substr(name_at, name)})) return NONE;
    return name_at + name;
  });
}

void for_each_swift_type(std::string_view text, const DeclVisitor& visit) {
  static const text::Regex modifier(R"((?:public|private|internal|open|final)\s+)");
  static const text::Regex declaration(
      R"((?:class|struct|enum|protocol|actor|extension)\s+([A-Za-z_]\w*))");
  for_each_line_start(text, [&](std::size_t p) -> std::size_t {
    if (!starts_with_one_of(text, p, "piofcsea")) return p + 1;
    const std::size_t at = skip_modifiers(modifier, "piof", text, p);
    return finish_declaration(declaration, "csepa", text, p, at, visit);
  });
}

void for_each_swift_func(std::string_view text, const DeclVisitor& visit) {
  static const text::Regex leading_space(R"(\s*)");
  static const text::Regex modifier(
      R"((?:public|private|internal|open|static|class|mutating|override)\s+)");
  static const text::Regex declaration(R"(func\s+([A-Za-z_]\w*))");
  for_each_line_start(text, [&](std::size_t p) -> std::size_t {
    std::size_t at = p;
    if (may_be_space(text, p)) {
      at += match_length_at(leading_space, text, p);
    } else if (!starts_with_one_of(text, p, "piocsmf")) {
      return p + 1;
    }
    at = skip_modifiers(modifier, "piocsm", text, at);
    return finish_declaration(declaration, "f", text, p, at, visit);
  });
}

}  // namespace plinthar::scanner
