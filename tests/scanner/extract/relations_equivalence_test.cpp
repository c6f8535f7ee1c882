// The relation passes and the arrow-constant pass run reformulated patterns or small
// scanners for speed. These tests hold them to the plain patterns: on many random texts
// drawn from a small alphabet of the tokens that steer the backtracking (keywords,
// white space of several kinds, quotes, brackets, name characters, extensions), both
// must report the same matches, offsets and captures.

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/extract/relations.hpp"
#include "plinthar/scanner/extract/symbols_ts.hpp"
#include "plinthar/text/regex.hpp"

namespace plinthar::scanner {

namespace {

struct Spans {
  std::size_t start;
  std::size_t end;
  std::size_t group_start;
  std::size_t group_size;
  bool operator==(const Spans&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Spans& s) {
  return out << "[" << s.start << "," << s.end << ") group@" << s.group_start << "+"
             << s.group_size;
}

std::vector<Spans> spans_of(std::string_view text, const std::vector<TextMatch>& matches) {
  std::vector<Spans> out;
  for (const TextMatch& m : matches) {
    const auto at = m.group.empty() ? 0 : static_cast<std::size_t>(m.group.data() - text.data());
    out.push_back({m.start, m.end, at, m.group.size()});
  }
  return out;
}

std::vector<Spans> plain_spans(const text::Regex& pattern, std::string_view text) {
  std::vector<Spans> out;
  pattern.for_each(text, [&](const text::RegexMatch& found) {
    const auto at = found.group(1).empty() ? 0 : found.start(1);
    out.push_back({found.start(), found.end(), at, found.group(1).size()});
    return true;
  });
  return out;
}

std::string random_text(std::mt19937& rng, const std::vector<std::string>& tokens,
                        std::size_t max_tokens) {
  std::uniform_int_distribution<std::size_t> count(0, max_tokens);
  std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
  std::string text;
  for (std::size_t n = count(rng); n > 0; --n) text += tokens[pick(rng)];
  return text;
}

// White space of every flavour the engine treats differently from ASCII, plus characters
// that look like white space to other tools but not to `\s`.
const std::vector<std::string> SPACES = {" ",    "  ",       "\n",           "\n\n",
                                         "\t",   "\xC2\xA0", "\xE2\x80\xA8", "\x0B",
                                         "\x1C", "\xC2\x85", "\xE3\x80\x80"};

std::vector<std::string> with_spaces(std::vector<std::string> tokens) {
  tokens.insert(tokens.end(), SPACES.begin(), SPACES.end());
  tokens.insert(tokens.end(), SPACES.begin(), SPACES.end());  // white space twice as likely
  return tokens;
}

struct PassCase {
  const char* name;
  int pass;
  const char* plain_pattern;
  unsigned flags;
  std::vector<std::string> tokens;
};

const std::vector<PassCase>& pass_cases() {
  static const std::vector<PassCase> cases = {
      {"go_import", 1, R"re(import\s+\(?\s*"([^"]+)")re", text::NOFLAG,
       with_spaces({"import", "import", "(", "\"", "\"", "a", "x\"", "é"})},
      {"script_import", 2, R"re(import\s+.*?\s+from\s+[\'"]([^\'"]+)[\'"])re", text::NOFLAG,
       with_spaces({"import",   "import",   "from",        "from",     "'",    "\"",
                    "a",        "{",        "}",           "x'",       "é",    "fro",
                    "import ",  " from ",   " from '",     "a'",       "x\" ", "'a' ",
                    "import  ", "import\n", " from \"m\"", " from 'n'"})},
      {"require", 3, R"re(require\([\'"]([^\'"]+)[\'"]\))re", text::NOFLAG,
       with_spaces({"require(", "require('", "require(\"", "'", "\"", "a", ")", "x')", "b\")", "')",
                    "\")"})},
      {"python_import", 4, R"(^\s*import\s+([a-zA-Z0-9_\.]+))", text::MULTILINE,
       with_spaces({"import", "import", "a", ".", "os", "_", ",", "é", "!", "impor", "\nimport "})},
      {"python_from", 5, R"(^\s*from\s+([a-zA-Z0-9_\.]+)\s+import\s+)", text::MULTILINE,
       with_spaces({"from", "from", "import", "import", "a", ".", "x", "é", "\nfrom ", " import ",
                    "from .", "a.b", "\nfrom a import ", "fro", "impor"})},
      {"swift_import", 6, R"(^import\s+([A-Za-z_]\w*))", text::MULTILINE,
       with_spaces({"import", "import", "UIKit", "_", "9", "é"})},
      {"path_mention",
       7,
       R"(([A-Za-z0-9_\-\/]+\.(go|py|tsx|ts|jsx|json|js|swift|md|yaml|yml)))",
       text::NOFLAG,
       {"a",  "b",  "/", "/",    "-",   "_",  "9",  ".",    ".",   ".",  "g",
        "go", "py", "t", "ts",   "tsx", "x",  "js", "json", "jsx", "sw", "swift",
        "m",  "md", "y", "yaml", "yml", "ya", " ",  "\n",   "é",   ":"}},
  };
  return cases;
}

void PrintTo(const PassCase& c, std::ostream* out) { *out << c.name; }

class RelationPassEquivalence : public ::testing::TestWithParam<PassCase> {};

TEST_P(RelationPassEquivalence, SameMatchesAsPlainPattern) {
  const PassCase& c = GetParam();
  const text::Regex plain(c.plain_pattern, c.flags);
  std::mt19937 rng(20240611u + static_cast<unsigned>(c.pass));
  std::size_t with_matches = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = random_text(rng, c.tokens, 40);
    const auto expected = plain_spans(plain, text);
    ASSERT_EQ(spans_of(text, relation_pass_matches(c.pass, text)), expected)
        << "text: \"" << text << "\"";
    if (!expected.empty()) ++with_matches;
  }
  // The alphabet must actually exercise the pattern, not just agree on "no match".
  EXPECT_GT(with_matches, 1000u);
}

INSTANTIATE_TEST_SUITE_P(AllPasses, RelationPassEquivalence, ::testing::ValuesIn(pass_cases()),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ArrowConstantEquivalence, SameMatchesAsPlainPattern) {
  const text::Regex plain(
      R"(^export\s+(?:const|let)\s+([A-Za-z_]\w*)\s*=\s*(?:async\s+)?(?:function|\([^)]*\)\s*=>|\w+\s*=>))",
      text::MULTILINE);
  const std::vector<std::string> tokens = with_spaces({"export ",
                                                       "export",
                                                       "const ",
                                                       "let ",
                                                       "const",
                                                       "a",
                                                       "b1",
                                                       "_",
                                                       "=",
                                                       "=",
                                                       "=>",
                                                       "=>",
                                                       "(",
                                                       "(",
                                                       ")",
                                                       ")",
                                                       "async",
                                                       "async ",
                                                       "function",
                                                       "x",
                                                       "é",
                                                       ",",
                                                       "\nexport const f = ",
                                                       "\nexport let g =",
                                                       " = (",
                                                       ") =>",
                                                       " => ",
                                                       "x =>",
                                                       "\nexport const a = async "});
  std::mt19937 rng(7);
  std::size_t with_matches = 0;
  for (int round = 0; round < 30000; ++round) {
    const std::string text = random_text(rng, tokens, 30);
    const auto expected = plain_spans(plain, text);
    ASSERT_EQ(spans_of(text, find_arrow_constants(text)), expected) << "text: \"" << text << "\"";
    if (!expected.empty()) ++with_matches;
  }
  EXPECT_GT(with_matches, 1000u);
}

}  // namespace
}  // namespace plinthar::scanner
