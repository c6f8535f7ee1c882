#include "plinthar/scanner/extract/keywords.hpp"

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/extract/decl_scan.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::scanner {

namespace {

using Words = std::vector<std::string>;

struct NameCase {
  const char* label;
  const char* name;
  Words expected;
};

TEST(SplitCamel, SplitsCamelWordsAndCapitalRuns) {
  const std::vector<NameCase> cases = {
      {"lower camel", "getUserById", {"get", "user"}},
      {"acronym before word", "HTTPServerError", {"http", "server", "error"}},
      {"acronym then camel", "XMLHttpRequest", {"xml", "http", "request"}},
      {"digit before capital", "v2Api", {"api"}},
      {"nothing long enough", "ABc", {}},
      {"underscores are not separators", "get_user_by_id", {"get_user_by_id"}},
      {"only ASCII capitals split", "ÉtéCafé", {"étécafé"}},
      {"length counted before lower-casing", "İd", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(_split_camel(c.name), c.expected) << c.label;
}

// The capital-run split is a scanner; it must agree with the two substitutions it
// stands for on random identifiers.
TEST(SplitCamel, MatchesTheSubstitutionsOnRandomNames) {
  const text::Regex lower_upper(R"(([a-z0-9])([A-Z]))");
  const text::Regex caps_word(R"(([A-Z]+)([A-Z][a-z]))");
  const std::vector<std::string> pieces = {"A", "B", "Z", "a", "z", "1", "_", " ", "É", "é", "ab"};
  std::mt19937 rng(3);
  std::uniform_int_distribution<std::size_t> count(0, 16);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 50000; ++round) {
    std::string name;
    for (std::size_t n = count(rng); n > 0; --n) name += pieces[pick(rng)];
    const std::string s = caps_word.sub("\\1 \\2", lower_upper.sub("\\1 \\2", name));
    Words expected;
    for (std::string_view part : text::split_whitespace(s)) {
      if (text::cp_length(part) >= 3) expected.push_back(text::to_lower(part));
    }
    ASSERT_EQ(_split_camel(name), expected) << "[" << name << "]";
  }
}

TEST(NameKeywords, WholeNameThenCamelThenUnderscorePieces) {
  const std::vector<NameCase> cases = {
      {"camel", "getUserById", {"getuserbyid", "get", "user"}},
      {"snake", "create_user", {"create_user", "create", "user"}},
      {"dunder stripped", "__init__", {"init"}},
      {"hook", "useState", {"usestate", "use", "state"}},
      {"upper", "GET", {"get"}},
      {"too short", "id", {}},
      {"ten at most",
       "alphaBeta_gammaDelta_epsilonZeta_etaTheta_iotaKappa",
       {"alphabeta_gammadelta_epsilonzeta_etatheta_iotakappa", "alpha", "beta_gamma",
        "delta_epsilon", "zeta_eta", "theta_iota", "kappa", "alphabeta", "gammadelta",
        "epsilonzeta"}},
  };
  for (const auto& c : cases) EXPECT_EQ(_name_keywords(c.name), c.expected) << c.label;
}

struct FileCase {
  const char* label;
  std::string content;
  const char* ext;
  Words expected;
};

TEST(ExtractKeywords, RoutesDeclarationsDocsAndUrls) {
  const std::vector<FileCase> cases = {
      {"express route with params",
       "app.get('/api/users/:id/{slug}', h)",
       ".js",
       {"get", "api", "users", "slug"}},
      {"mux handler, short segment dropped",
       "r.HandleFunc(\"/health/ok\", h)",
       ".go",
       {"handlefunc", "health"}},
      {"decorator seen by both route patterns",
       "@router.post(\"/items/{item_id}\")\n",
       ".py",
       {"post", "items", "item_id"}},
      {"python skips private names",
       "def _private():\n    pass\ndef load_config():\n",
       ".py",
       {"load_config", "load", "config"}},
      {"python class and async def",
       "class UserStore:\n    def hidden(self): pass\nasync def fetchAll():\n",
       ".py",
       {"userstore", "user", "store", "fetchall", "fetch", "all"}},
      {"short docstring gives no words", "\"\"\"Tiny.\"\"\"\nx = 1\n", ".py", {}},
      {"docstring words of four letters or more",
       "  \"\"\"Loads the user settings from disk.\"\"\"\n",
       ".md",
       {"loads", "user", "settings", "from", "disk"}},
      {"block comment first line only",
       "/** Billing utilities for invoices\n * Second line words */",
       ".ts",
       {"billing", "utilities", "invoices"}},
      {"block comment stops at an asterisk", "/* Short*/ rest of text", ".ts", {}},
      {"ts declarations and export list",
       "export default async function loadUser() {}\nexport {fooBar as baz, default}\n",
       ".ts",
       {"loaduser", "load", "user", "foobar", "foo", "bar", "baz", "default"}},
      {"ts declaration inside a line",
       "const x = 1; export interface ApiShape {}",
       ".tsx",
       {"apishape", "api", "shape"}},
      {"go capitalised functions and methods",
       "func helper() {}\nfunc (s *Server) ServeHTTP() {}\nfunc Run() {}\n",
       ".go",
       {"servehttp", "serve", "http", "run"}},
      {"swift types and indented functions",
       "public final class ImageCache {\n  private static func loadImage() {}\n}\n",
       ".swift",
       {"imagecache", "image", "cache", "loadimage", "load"}},
      {"fetch url: host label and cleaned segments",
       "fetch('https://api.example.com/v1/users?id=1')",
       ".js",
       {"api", "usersid1"}},
      {"requests call with a path",
       "requests.post(\"/orders/{order_id}/items\")",
       ".py",
       {"orders", "order_id", "items"}},
      {"extension compared exactly", "def load_config():\n", ".PY", {}},
      {"one keyword per spelling",
       "app.get('/user')\napp.post('/User')",
       ".js",
       {"get", "user", "post"}},
      {"route words come before declared names",
       "def handler():\n    pass\n@app.get('/orders')\n",
       ".py",
       {"get", "orders", "handler"}},
  };
  for (const auto& c : cases) EXPECT_EQ(extract_keywords(c.content, c.ext), c.expected) << c.label;
}

TEST(ExtractKeywords, KeepsTheFirstEightyInFirstSeenOrder) {
  std::string content;
  Words expected;
  for (int i = 0; i < 100; ++i) {
    const std::string name = "name" + std::string(1, static_cast<char>('a' + i / 26)) +
                             std::string(1, static_cast<char>('a' + i % 26));
    content += "def " + name + "():\n    pass\n";
    expected.push_back(name);
  }
  expected.resize(80);
  EXPECT_EQ(extract_keywords(content, ".py"), expected);
}

// The declaration scanners must report exactly what their patterns report; compare
// them on many random texts built from the pieces those patterns care about.
using Found = std::vector<std::tuple<std::size_t, std::size_t, std::size_t>>;

Found from_pattern(const text::Regex& pattern, std::string_view text) {
  Found found;
  pattern.for_each(text, [&](const text::RegexMatch& m) {
    found.emplace_back(m.start(), m.start(1), m.end(1));
    return true;
  });
  return found;
}

Found from_scanner(void (*scan)(std::string_view, const DeclVisitor&), std::string_view text) {
  Found found;
  scan(text, [&](const DeclMatch& m) {
    const auto name_start = static_cast<std::size_t>(m.name.data() - text.data());
    found.emplace_back(m.start, name_start, name_start + m.name.size());
    return true;
  });
  return found;
}

std::string random_text(std::mt19937& rng, const std::vector<std::string>& pieces) {
  std::uniform_int_distribution<std::size_t> count(0, 14);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
  return text;
}

struct ScannerCase {
  const char* label;
  const char* pattern;
  void (*scan)(std::string_view, const DeclVisitor&);
  std::vector<std::string> pieces;  // besides the shared ones below
};

TEST(DeclScanners, MatchThePatternsOnRandomText) {
  const std::vector<std::string> shared = {" ",   "  ",  "\n", "\t", "\u00a0", "\u2028", "\x1f",
                                           "Foo", "bar", "_x", "X1", "é",      "Ωx",     "1"};
  const std::vector<ScannerCase> cases = {
      {"go func",
       R"(^func\s+(?:\([^)]+\)\s+)?([A-Z]\w*))",
       for_each_go_func,
       {"func", "func ", "\nfunc ", "(", ")", "(s *T) ", "()", "r *T"}},
      {"swift type",
       R"(^(?:public\s+|private\s+|internal\s+|open\s+|final\s+)*(?:class|struct|enum|protocol|actor|extension)\s+([A-Za-z_]\w*))",
       for_each_swift_type,
       {"public", "private ", "internal", "open ", "final ", "static ", "class", "class ",
        "struct ", "enum", "protocol ", "actor ", "extension", "pub", "\npublic "}},
      {"swift func",
       R"(^(?:\s*)(?:public\s+|private\s+|internal\s+|open\s+|static\s+|class\s+|mutating\s+|override\s+)*func\s+([A-Za-z_]\w*))",
       for_each_swift_func,
       {"public ", "private", "internal ", "open", "static ", "class ", "mutating ", "override",
        "final ", "func", "func ", "\nfunc ", "\n  static ", "funcs"}},
  };
  std::mt19937 rng(20240611);
  for (const auto& c : cases) {
    const text::Regex pattern(c.pattern, text::MULTILINE);
    std::vector<std::string> pieces = shared;
    pieces.insert(pieces.end(), c.pieces.begin(), c.pieces.end());
    int matched_texts = 0;
    for (int i = 0; i < 30000; ++i) {
      const std::string text = random_text(rng, pieces);
      const Found expected = from_pattern(pattern, text);
      ASSERT_EQ(from_scanner(c.scan, text), expected) << c.label << " on [" << text << "]";
      matched_texts += expected.empty() ? 0 : 1;
    }
    EXPECT_GT(matched_texts, 1000) << c.label << ": the generator rarely produces matches";
  }
}

TEST(DeclScanners, FindDeclarationsAfterLongModifierRuns) {
  std::string modifiers;
  for (int i = 0; i < 20000; ++i) modifiers += "public ";
  const std::string text = modifiers + "class Gadget\n" + modifiers + "func spin() {}\n";
  EXPECT_EQ(extract_keywords(text, ".swift"), (Words{"gadget", "spin"}));
}

}  // namespace
}  // namespace plinthar::scanner
