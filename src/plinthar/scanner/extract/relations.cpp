#include "plinthar/scanner/extract/relations.hpp"

// Seven passes over the whole text, each a left-to-right search for one pattern.
//
// Several of the patterns, run as written, restart a long scan at every start position
// (`\s+\(?\s*` at every split of the white space after "import", for one). Pass 1 uses
// possessive quantifiers where giving characters back can never let the rest match.
// The other passes that most files need are small scanners that report exactly the
// pattern's matches, several times faster than the engine: the lazy script-import
// pattern (script_imports.cpp), the Python import lines (python_imports.cpp) and the
// path mentions (path_mentions.cpp).

#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/extract/path_mentions.hpp"
#include "plinthar/scanner/extract/python_imports.hpp"
#include "plinthar/scanner/extract/script_imports.hpp"
#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/regex.hpp"

namespace plinthar::scanner {

namespace {

using Scanner = std::vector<TextMatch> (*)(std::string_view);

// A pass is either a pattern run by the engine or a scanner that reports the same
// matches as its pattern would.
struct RegexPass {
  const char* pattern;
  unsigned flags;
  const char* required;  // a literal every match contains, to skip the pass cheaply
  Scanner scanner;
};

const RegexPass& regex_pass(int pass) {
  static const RegexPass passes[] = {
      {R"re(import\s++\(?\s*+"([^"]+)")re", text::NOFLAG, "import", nullptr},
      {nullptr, text::NOFLAG, "from", find_script_imports},
      {R"re(require\([\'"]([^\'"]+)[\'"]\))re", text::NOFLAG, "require(", nullptr},
      {nullptr, text::NOFLAG, "import", find_python_imports},
      {nullptr, text::NOFLAG, "from", find_python_from_imports},
      {R"(^import\s+([A-Za-z_]\w*))", text::MULTILINE, "import", nullptr},
      {nullptr, text::NOFLAG, ".", find_path_mentions},
  };
  return passes[pass - 1];
}

const text::Regex& compiled_pass(int pass) {
  static const text::Regex pass1(regex_pass(1).pattern, regex_pass(1).flags);
  static const text::Regex pass3(regex_pass(3).pattern, regex_pass(3).flags);
  static const text::Regex pass6(regex_pass(6).pattern, regex_pass(6).flags);
  static const text::Regex* const by_pass[] = {&pass1,  nullptr, &pass3, nullptr,
                                               nullptr, &pass6,  nullptr};
  return *by_pass[pass - 1];
}

std::vector<TextMatch> regex_pass_matches(int pass, std::string_view text) {
  const RegexPass& kind = regex_pass(pass);
  if (!text::contains(text, kind.required)) return {};
  if (kind.scanner != nullptr) return kind.scanner(text);
  std::vector<TextMatch> matches;
  compiled_pass(pass).for_each(text, [&](const text::RegexMatch& found) {
    matches.push_back({found.start(), found.end(), found.group(1)});
    return true;
  });
  return matches;
}

struct PassKind {
  int pass;
  const char* rel;
};

constexpr PassKind PASS_KINDS[] = {{1, "imports"}, {2, "imports"}, {3, "requires"},  {4, "imports"},
                                   {5, "imports"}, {6, "imports"}, {7, "references"}};

constexpr int SWIFT_PASS = 6;
constexpr int PATH_MENTION_PASS = 7;

}  // namespace

std::vector<TextMatch> relation_pass_matches(int pass, std::string_view text) {
  if (pass < 1 || pass > 7) return {};
  if (pass == 2) {
    // Every match ends in "from", white space and a quote; Python's "from x import y"
    // never does, so most files are ruled out by one quick search.
    static const text::Regex from_quote(R"(from\s+[\'"])");
    if (!from_quote.search(text)) return {};
  }
  return regex_pass_matches(pass, text);
}

std::vector<Edge> parse_relations(const std::filesystem::path& path, std::string_view text,
                                  const std::filesystem::path& root) {
  return parse_relations_for(rel(path, root), text, file_extension(path.native()));
}

std::vector<Edge> parse_relations_for(std::string_view file_id, std::string_view text,
                                      std::string_view path_ext) {
  std::vector<Edge> edges;
  for (const PassKind& kind : PASS_KINDS) {
    if (kind.pass == SWIFT_PASS && path_ext != ".swift") continue;
    for (const TextMatch& found : relation_pass_matches(kind.pass, text)) {
      // A path mention counts only when it names a location, not a bare file name.
      if (kind.pass == PATH_MENTION_PASS && !text::contains(found.group, "/")) continue;
      edges.push_back({std::string(file_id), std::string(found.group), kind.rel});
    }
  }
  return edges;
}

}  // namespace plinthar::scanner
