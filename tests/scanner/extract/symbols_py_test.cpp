#include "plinthar/scanner/extract/symbols_py.hpp"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/extract/body_hash.hpp"
#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/scanner/extract/py_block_ends.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/utf8.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::scanner {

namespace {

// name:type:line_start-line_end for every record, in order.
std::vector<std::string> outline(std::string_view content) {
  std::vector<std::string> out;
  for (const SymbolRecord& r : extract_symbols_py(content, "pkg/mod.py")) {
    out.push_back(r.name + ":" + r.symbol_type + ":" + std::to_string(r.line_start) + "-" +
                  std::to_string(r.line_end));
  }
  return out;
}

struct OutlineCase {
  const char* label;
  std::string content;
  std::vector<std::string> expected;
};

TEST(ExtractSymbolsPy, FindsModuleLevelDeclarationsAndTheirBlocks) {
  const std::vector<OutlineCase> cases = {
      {"blank lines belong to no block",
       "def a():\n    x = 1\n\n\ndef b():\n    return 2\n",
       {"a:use_case:0-1", "b:use_case:4-5"}},
      {"one-line function on the last line", "x = 1\ndef last(): return x", {"last:use_case:1-1"}},
      {"assignment at base level extends the block",
       "def a():\n    pass\nCONSTANT = 3\n\n@decorate\ndef b():\n    pass\n",
       {"a:use_case:0-2", "b:use_case:5-6"}},
      {"comment line at base level extends the block",
       "def a():\n    pass\n# note\n",
       {"a:use_case:0-2"}},
      {"class after function ends it, classes come last",
       "class Store:\n    def get(self):\n        pass\ndef helper():\n    pass\n",
       {"helper:use_case:3-4", "Store:model:0-2"}},
      {"methods and indented defs are not symbols",
       "class A:\n    def method(self): pass\n    async def run(self): pass\n",
       {"A:model:0-2"}},
      {"async module function", "async def fetch(url):\n    return url\n", {"fetch:use_case:0-1"}},
      {"private, dunder and test functions skipped",
       "def _hidden(): pass\ndef __init__(): pass\ndef test_it(): pass\ndef tested(): pass\n",
       {"tested:use_case:3-3"}},
      {"first declaration of a name wins",
       "def run():\n    pass\ndef run():\n    return 1\nclass run:\n    pass\n",
       {"run:use_case:0-1"}},
      {"name on the line after def", "def\nlate(x):\n    pass\n", {"late:use_case:0-2"}},
      {"def without parenthesis is not a function",
       "def broken\nclass Fine: pass\n",
       {"Fine:model:1-1"}},
  };
  for (const auto& c : cases) EXPECT_EQ(outline(c.content), c.expected) << c.label;
}

TEST(ExtractSymbolsPy, RouteDecoratorsWithinThreeLines) {
  const std::vector<OutlineCase> cases = {
      {"decorator directly above",
       "@app.get('/x')\ndef handler():\n    pass\n",
       {"handler:api_route:1-2"}},
      {"decorator in capitals",
       "@ROUTER.POST('/x')\ndef create():\n    pass\n",
       {"create:api_route:1-2"}},
      {"decorator three lines below",
       "def early():\n    a = 1\n    b = 2\n    @blueprint.delete ('/y')\n",
       {"early:api_route:0-3"}},
      {"decorator four lines below",
       "def early():\n    a = 1\n    b = 2\n    c = 3\n    @blueprint.delete('/y')\n",
       {"early:use_case:0-4"}},
      {"decorator inside a string still counts",
       "s = '@app.put('\ndef f():\n    pass\n",
       {"f:api_route:1-2"}},
      {"other objects are not routes", "@api.get('/x')\ndef g():\n    pass\n", {"g:use_case:1-2"}},
  };
  for (const auto& c : cases) EXPECT_EQ(outline(c.content), c.expected) << c.label;
}

TEST(ExtractSymbolsPy, LineIndexCountsLineFeedsWhileLinesSplitEverywhere) {
  // The form feed starts a new line for `lines` but not for the line index, so the
  // second function's record indexes `lines` one line early.
  const std::string content = "def a():\f    pass\ndef b():\n    pass\n";
  const auto lines = text::split_lines(content);
  ASSERT_EQ(lines.size(), 4u);
  const auto records = extract_symbols_py(content, "m.py");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].line_start, 0);
  EXPECT_EQ(records[0].line_end, 1);
  EXPECT_EQ(records[1].line_start, 1);  // lines[1] is "    pass"
  EXPECT_EQ(records[1].line_end, 1);    // lines[2] opens a function at depth 0 <= 4
  EXPECT_EQ(records[1].body_hash, _body_hash(lines, 1, 1));

  const auto lone_cr = extract_symbols_py("x = 1\rdef c():\n    pass\n", "m.py");
  ASSERT_EQ(lone_cr.size(), 0u);  // "def" follows a lone "\r", not a line feed
}

TEST(ExtractSymbolsPy, RecordFields) {
  const std::string content = "class _Cache:\n    pass\n\ndef load_user(id):\n    return id\n";
  const auto records = extract_symbols_py(content, "api/users.py");
  ASSERT_EQ(records.size(), 2u);
  const SymbolRecord& f = records[0];
  EXPECT_EQ(f.id, "api/users.py::load_user");
  EXPECT_EQ(f.confidence, "high");
  EXPECT_TRUE(f.exported);
  EXPECT_EQ(f.keywords, _name_keywords("load_user"));
  EXPECT_EQ(f.body_hash, _body_hash(text::split_lines(content), 3, 4));
  const SymbolRecord& c = records[1];
  EXPECT_EQ(c.id, "api/users.py::_Cache");
  EXPECT_EQ(c.symbol_type, "model");
  EXPECT_FALSE(c.exported);
  EXPECT_EQ(c.line_end, 1);
  std::vector<std::string> keys;
  const text::Json map = to_json(f);
  for (const auto& item : map.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"id", "name", "symbol_type", "line_start", "line_end",
                                            "body_hash", "confidence", "exported", "keywords"}));
}

struct BlockCase {
  const char* label;
  std::vector<std::string_view> lines;
  std::size_t start;
  std::size_t expected;
};

TEST(FindBlockEndPy, IndentationAndOpeners) {
  const std::vector<BlockCase> cases = {
      {"last line", {"def a(): pass"}, 0, 0},
      {"past the end", {"x"}, 5, 5},
      {"only blank lines follow", {"def a():", "", "   ", "\t"}, 0, 0},
      {"ends before a decorator", {"def a():", "  x", "@d", "def b():"}, 0, 1},
      {"ends before a class", {"def a():", "  x", "class B:"}, 0, 1},
      {"classy is not a class line", {"def a():", "  x", "classy = 1"}, 0, 2},
      {"indented opener of a nested block ends it",
       {"  def m(self):", "    x", "  def n(self):"},
       0,
       1},
      {"indented class line does not end it (no leading space allowed)",
       {"  def m(self):", "    x", "  class N:", "    y"},
       0,
       3},
      {"deeper opener stays inside", {"def a():", "    def inner():", "        pass"}, 0, 2},
      {"async def ends it", {"def a():", "  x", "async  def b():"}, 0, 1},
      {"unicode indentation counts per character",
       {"\u3000\u3000def m():", "\u3000\u3000\u3000x", "\u3000 def n():"},
       0,
       1},
      {"decorator line may not be indented", {"  def m():", "    x", "  @deco"}, 0, 2},
  };
  for (const auto& c : cases) {
    std::vector<std::string_view> lines(c.lines.begin(), c.lines.end());
    EXPECT_EQ(_find_block_end_py(lines, c.start), c.expected) << c.label;
  }
}

// The per-file index must give the same block end as the forward scan for every start.
TEST(PyBlockEnds, MatchesTheForwardScanOnRandomFiles) {
  const std::vector<std::string> pieces = {
      "",         " ",        "  ",       "\t",     "\u00a0",
      "\u3000",   "\x1f",     "def f():", "def",    "async def g():",
      "async  x", "class C:", "class",    "classy", "@",
      "@deco",    "x = 1",    "pass",     "de f",   "a",
      "d"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::size_t> line_count(0, 12);
  std::uniform_int_distribution<std::size_t> part_count(1, 3);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::string> storage(line_count(rng));
    for (std::string& line : storage) {
      for (std::size_t n = part_count(rng); n > 0; --n) line += pieces[pick(rng)];
    }
    const std::vector<std::string_view> lines(storage.begin(), storage.end());
    const PyBlockEnds ends(lines);
    for (std::size_t start = 0; start <= lines.size() + 1; ++start) {
      ASSERT_EQ(ends.block_end(start), _find_block_end_py(lines, start))
          << "round " << round << " start " << start;
    }
  }
}

// Leading white space is counted byte by byte for ASCII; it must agree with the code
// point count of what trim_left removes on every mix of white space kinds.
TEST(LeadingSpaceLength, CountsCodePointsOfTheTrimmedPrefix) {
  const std::vector<std::string> pieces = {" ",      "\t",     "\x0b", "\x1c",   "\x1f", "\u00a0",
                                           "\u3000", "\u2028", "x",    "\u00e9", "def",  ""};
  std::mt19937 rng(11);
  std::uniform_int_distribution<std::size_t> count(0, 8);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (std::size_t n = count(rng); n > 0; --n) line += pieces[pick(rng)];
    ASSERT_EQ(leading_space_length(line),
              text::cp_length(line) - text::cp_length(text::trim_left(line)))
        << "line: \"" << line << "\"";
  }
}

}  // namespace
}  // namespace plinthar::scanner
