#include "plinthar/scanner/extract/relations.hpp"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.hpp"

namespace plinthar::scanner {
namespace {

using Target = std::pair<std::string, std::string>;  // ("to", "rel")

struct RelationCase {
  const char* name;
  const char* ext;
  const char* text;
  std::vector<Target> expected;
};

void PrintTo(const RelationCase& c, std::ostream* out) { *out << c.name; }

const std::vector<RelationCase>& relation_cases() {
  static const std::vector<RelationCase> cases = {
      // Go
      {"go_single_import", ".go", "import \"fmt\"\n", {{"fmt", "imports"}}},
      {"go_grouped_import_gives_only_the_first_path",
       ".go",
       "import (\n\t\"fmt\"\n\t\"os\"\n)\n",
       {{"fmt", "imports"}}},
      // Script imports and requires
      {"named_import", ".ts", "import { a } from \"./util\"\n", {{"./util", "imports"}}},
      {"default_import_is_also_a_first_word_import",
       ".js",
       "import x from './x'\n",
       {{"./x", "imports"}, {"x", "imports"}}},
      {"braces_over_several_lines_give_no_script_import",
       ".ts",
       "import {\n  a,\n  b\n} from './m'\n",
       {}},
      {"from_on_the_next_line_after_one_word",
       ".ts",
       "import x\nfrom 'y'\n",
       {{"y", "imports"}, {"x", "imports"}}},
      {"require_with_either_quote",
       ".js",
       "const y = require('lodash')\nconst z = require(\"./z\")\n",
       {{"lodash", "requires"}, {"./z", "requires"}}},
      {"require_needs_the_closing_parenthesis", ".js", "require('a', b)\n", {}},
      // Python
      {"relative_from_import", ".py", "from .models import User\n", {{".models", "imports"}}},
      {"from_dot_import", ".py", "from . import views\n", {{".", "imports"}}},
      {"import_list_gives_the_first_module", ".py", "import os, sys\n", {{"os", "imports"}}},
      {"dotted_module", ".py", "import os.path\n", {{"os.path", "imports"}}},
      {"indented_imports",
       ".py",
       "def f():\n    import json\n    from a.b import c\n",
       {{"json", "imports"}, {"a.b", "imports"}}},
      // Swift
      {"swift_import_seen_by_two_passes",
       ".swift",
       "import UIKit\n",
       {{"UIKit", "imports"}, {"UIKit", "imports"}}},
      {"swift_pass_needs_the_exact_extension", ".SWIFT", "import UIKit\n", {{"UIKit", "imports"}}},
      {"swift_pass_needs_column_zero",
       ".swift",
       "  import Foundation\n",
       {{"Foundation", "imports"}}},
      // Path mentions
      {"only_mentions_with_a_slash_count",
       ".md",
       "see docs/setup.md and utils.py",
       {{"docs/setup.md", "references"}}},
      {"longer_extension_wins",
       ".md",
       "src/App.tsx app/config.json ui/View.jsx ci/a.yaml",
       {{"src/App.tsx", "references"},
        {"app/config.json", "references"},
        {"ui/View.jsx", "references"},
        {"ci/a.yaml", "references"}}},
      {"extension_need_not_end_the_word", ".md", "a/b.pyc", {{"a/b.py", "references"}}},
      {"dots_are_not_name_characters",
       ".ts",
       "load(\"../data/x.json\")",
       {{"/data/x.json", "references"}}},
      {"empty_text", ".py", "", {}},
  };
  return cases;
}

class ParseRelations : public ::testing::TestWithParam<RelationCase> {};

TEST_P(ParseRelations, FindsTargetsInPassOrder) {
  const RelationCase& c = GetParam();
  std::vector<Target> found;
  for (const Edge& edge : parse_relations_for("pkg/file", c.text, c.ext)) {
    EXPECT_EQ(edge.from, "pkg/file");
    found.emplace_back(edge.to, edge.rel);
  }
  EXPECT_EQ(found, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Passes, ParseRelations, ::testing::ValuesIn(relation_cases()),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ParseRelations, PassesRunInTheirFixedOrder) {
  const auto edges = parse_relations_for(
      "m.ts", "see lib/a.ts\nconst r = require('r')\nimport b from 'b'\nimport \"c\"\n", ".ts");
  std::vector<std::string> targets;
  for (const Edge& edge : edges) targets.push_back(edge.to);
  EXPECT_EQ(targets, (std::vector<std::string>{"c", "b", "r", "b", "lib/a.ts"}));
}

TEST(ParseRelations, FileIdAndExtensionComeFromThePath) {
  const testing::TempDir root;
  const auto path = root.write("ios/App.swift", "import UIKit\n");
  const auto edges = parse_relations(path, "import UIKit\n", root.path());
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[0], (Edge{"ios/App.swift", "UIKit", "imports"}));
  EXPECT_EQ(edges[1], (Edge{"ios/App.swift", "UIKit", "imports"}));
}

}  // namespace
}  // namespace plinthar::scanner
