#include "plinthar/scanner/extract/summary.hpp"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/text/regex.hpp"

namespace plinthar::scanner {

namespace {

struct SummaryCase {
  const char* label;
  std::string content;
  const char* path;
  const char* ext;
  std::string expected;
};

void expect_summaries(const std::vector<SummaryCase>& cases) {
  for (const auto& c : cases)
    EXPECT_EQ(_make_summary(c.content, c.path, c.ext), c.expected) << c.label;
}

TEST(MakeSummary, LeadHandlesAndContains) {
  expect_summaries({
      {"python docstring, private name skipped",
       "\"\"\"User API routes.\"\"\"\n\ndef list_users():\n    pass\ndef _private():\n    pass\n"
       "class User:\n    pass\n",
       "api/users/routes.py", ".py",
       "User API routes. Handles users routes. Contains 2 functions/classes: list_users, User."},
      {"script block comment, src dropped, index kept",
       "/** Billing utilities. */\nexport function charge() {}\nexport async function refund() {}\n"
       "export class Invoice {}\n",
       "src/billing/index.ts", ".ts",
       "Billing utilities. Handles billing index. Contains 3 functions/classes: charge, refund, "
       "Invoice."},
      {"markdown heading", "# Project Setup Guide\n\nSteps follow.\n", "docs/SETUP.md", ".md",
       "Project Setup Guide. Handles docs SETUP."},
      {"five names at most, first line as lead",
       "def a(): pass\ndef b(): pass\ndef c(): pass\ndef d(): pass\ndef e(): pass\ndef f(): pass\n",
       "main.py", ".py",
       "def a(): pass. Handles main. Contains 5 functions/classes: a, b, c, d, ...."},
      {"empty script file", "", "src/index.ts", ".ts", "Handles index."},
      {"only excluded directories", "", "src", ".ts", "Handles src."},
      {"empty everything", "", "", ".py", ""},
      {"one name", "function only() {}\n", "x.js", ".js",
       "function only() {}. Handles x. Contains 1 function: only."},
      {"script names may be nested and private", "  function _inner() {}\nclass Outer {}\n",
       "lib/tools.js", ".js",
       "function _inner() {}. Handles tools. Contains 2 functions/classes: _inner, Outer."},
      {"back slashes, dashes and underscores in the path", "", "web\\user-profile\\edit_form.tsx",
       ".tsx", "Handles user profile edit form."},
      // A file name need not be UTF-8; its other bytes are left out of the domain.
      {"path that is not UTF-8", "", "web/caf\xe9-menu/\xedg\xed\xedl.tsx", ".tsx",
       "Handles caf menu gl."},
  });
}

TEST(MakeSummary, LeadSources) {
  expect_summaries({
      {"multi-line docstring is whitespace-normalised",
       "\"\"\"\n  Multi line\n  docstring here\n\"\"\"\n", "m.py", ".py",
       "Multi line docstring here. Handles m."},
      {"single-quoted docstring", "'''Config loader module'''\n", "m.py", ".py",
       "Config loader module. Handles m."},
      {"docstring with an apostrophe falls back to its line", "\"\"\"It's the module.\"\"\"\n",
       "m.py", ".py", "\"\"\"It's the module.\"\"\". Handles m."},
      {"docstring shorter than 8 falls back", "\"\"\"Short\"\"\"\n", "m.py", ".py",
       "\"\"\"Short\"\"\". Handles m."},
      {"block comment stars removed", "/**\n * Auth helpers\n * for login\n */\nconst x = 1;\n",
       "auth.ts", ".ts", "Auth helpers for login. Handles auth."},
      {"empty block comment falls back to the first long line", "/**/\nimport x from 'y';\n",
       "a.js", ".js", "import x from 'y';. Handles a."},
      {"comment not at the start is no doc comment", "import x from 'y';\n/** Doc here please */\n",
       "a.ts", ".ts", "import x from 'y';. Handles a."},
      {"go has no doc-comment rule, comment slashes stripped",
       "// Handles payments here\npackage pay\n", "pay/pay.go", ".go",
       "Handles payments here. Handles pay pay."},
      {"shebang keeps text after the hashes", "#!/usr/bin/env python\n", "tool", ".py",
       "!/usr/bin/env python. Handles tool."},
      {"short lines skipped, only the first five looked at", "a\nb\nc\nd\ne\nlong enough line\n",
       "f.yaml", ".yaml", "Handles f."},
      {"trailing dots collapse to one", "Loading data...\n", "n.md", ".md",
       "Loading data. Handles n."},
  });
}

TEST(MakeSummary, LengthsCountCharacters) {
  const std::string word = "é";
  std::string long_lead;
  for (int i = 0; i < 130; ++i) long_lead += word;
  std::string lead_120;
  for (int i = 0; i < 120; ++i) lead_120 += word;
  EXPECT_EQ(_make_summary(long_lead + "\n", "", ".md"), lead_120 + ".");

  std::string names;
  std::string content;
  for (char c = 'a'; c <= 'e'; ++c) content += "def " + std::string(60, c) + "(): pass\n";
  const std::string summary = _make_summary(content, "x.py", ".py");
  EXPECT_EQ(summary.size(), 250u);
  EXPECT_EQ(summary.substr(0, 12), "def aaaaaaaa");
}

// The leading block comment uses a possessive white-space run; on random texts it must
// agree with the lazy pattern it replaces, group for group.
TEST(LeadingBlockComment, MatchesTheLazyPatternOnRandomText) {
  const text::Regex written(R"(\s*/\*\*?\s*(.*?)\*/)", text::DOTALL);
  const std::vector<std::string> pieces = {"/*", "*/",     "*",      "/", " ",  "  ", "\n",
                                           "\t", "\u00a0", "\u2029", "x", "ab", "**/"};
  std::mt19937 rng(99);
  std::uniform_int_distribution<std::size_t> count(0, 10);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  int matched = 0;
  for (int round = 0; round < 50000; ++round) {
    std::string text;
    for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
    const auto expected = written.match(text);
    const auto actual = leading_block_comment(text);
    ASSERT_EQ(actual.has_value(), expected.has_value()) << "[" << text << "]";
    if (!expected) continue;
    ++matched;
    ASSERT_EQ(actual->data(), expected->group(1).data()) << "[" << text << "]";
    ASSERT_EQ(actual->size(), expected->group(1).size()) << "[" << text << "]";
  }
  EXPECT_GT(matched, 1000);
}

}  // namespace
}  // namespace plinthar::scanner
