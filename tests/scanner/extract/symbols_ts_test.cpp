#include "plinthar/scanner/extract/symbols_ts.hpp"

#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/text/short_hash.hpp"

namespace plinthar::scanner {

namespace {

// The parts of a record that the declaration decides.
struct Expected {
  std::string name;
  std::string symbol_type;
  std::string confidence;
  bool exported;
  std::int64_t line_start;
  std::int64_t line_end;
  bool operator==(const Expected&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Expected& e) {
  return out << "{" << e.name << ", " << e.symbol_type << ", " << e.confidence << ", "
             << (e.exported ? "exported" : "local") << ", " << e.line_start << ".." << e.line_end
             << "}";
}

std::vector<Expected> summarise(const std::vector<SymbolRecord>& records) {
  std::vector<Expected> out;
  for (const SymbolRecord& r : records) {
    out.push_back({r.name, r.symbol_type, r.confidence, r.exported, r.line_start, r.line_end});
  }
  return out;
}

struct ExtractCase {
  const char* name;
  const char* source;
  std::vector<Expected> expected;
};

void PrintTo(const ExtractCase& c, std::ostream* out) { *out << c.name; }

const std::vector<ExtractCase>& extract_cases() {
  static const std::vector<ExtractCase> cases = {
      {"exported_async_get_is_one_route",
       "export async function GET(req) {\n  return 1;\n}\n",
       {{"GET", "api_route", "high", true, 0, 2}}},
      {"plain_route_named_function_gives_nothing", "function POST() {}\n", {}},
      {"arrow_constant_keeps_route_classification",
       "export const GET = async (req) => {\n  return 1;\n}\n",
       {{"GET", "api_route", "high", true, 0, 2}}},
      {"hooks_whether_exported_or_not",
       "export function useSession() {}\nfunction useAuth() {}\n",
       {{"useSession", "hook", "high", true, 0, 0}, {"useAuth", "hook", "high", false, 1, 1}}},
      {"utilities_and_use_cases",
       "function formatDate(d) {}\nexport function formatTime() {}\nexport function UserCard() "
       "{}\n",
       {{"formatDate", "utility", "medium", false, 0, 0},
        {"formatTime", "use_case", "high", true, 1, 1},
        {"UserCard", "use_case", "medium", true, 2, 2}}},
      {"default_alone_is_not_exported",
       "default function helper() {}\nexport default function Page() {}\n",
       {{"helper", "utility", "medium", false, 0, 0}, {"Page", "use_case", "medium", true, 1, 1}}},
      {"generators_and_indented_declarations_are_not_seen",
       "export function* gen() {}\nclass A {\n  function b() {}\n}\n  export function c() {}\n",
       {{"A", "model", "high", false, 1, 3}}},
      {"classes_exported_or_not",
       "export default class Store {\n}\nclass Cache {}\n",
       {{"Store", "model", "high", true, 0, 1}, {"Cache", "model", "high", false, 2, 2}}},
      {"interfaces_and_type_aliases",
       "export interface Props {\n  a: string;\n}\ntype Id = string;\n",
       {{"Props", "model", "high", true, 0, 2}, {"Id", "model", "high", false, 3, 3}}},
      {"schema_constant_counts_as_exported",
       "const userSchema = z.object({\n  id: z.string(),\n});\n",
       {{"userSchema", "model", "high", true, 0, 2}}},
      {"plain_statements_give_nothing", "const a = 1;\nlet b = () => 2;\n", {}},
      {"schema_needs_z_right_after_equals", "const userSchema = make(z.object({}));\n", {}},
      {"arrow_forms",
       "export const f = (a,\n  b) => a;\nexport let g = x => x;\nexport const h = "
       "function () {};\n",
       // No braces until the last line, so the first two blocks run on into it.
       {{"f", "use_case", "high", true, 0, 3},
        {"g", "use_case", "high", true, 2, 3},
        {"h", "use_case", "high", true, 3, 3}}},
      {"arrow_with_return_type_or_annotation_is_not_seen",
       "export const f = (a): number => a;\nexport const g: Fn = () => 1;\n",
       {}},
      {"first_pass_wins_a_name",
       "export class Store {}\nexport function Store() {}\nfunction Store() {}\n",
       {{"Store", "use_case", "medium", true, 1, 1}}},
  };
  return cases;
}

class ExtractSymbolsTs : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractSymbolsTs, FindsDeclarations) {
  const ExtractCase& c = GetParam();
  EXPECT_EQ(summarise(extract_symbols_ts(c.source, "web/page.tsx")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Declarations, ExtractSymbolsTs, ::testing::ValuesIn(extract_cases()),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ExtractSymbolsTs, RecordCarriesIdHashAndKeywords) {
  const auto records =
      extract_symbols_ts("// header\nexport function loadUser() {\n  return 1;\n}\n", "app/api.ts");
  ASSERT_EQ(records.size(), 1u);
  const SymbolRecord& r = records[0];
  EXPECT_EQ(r.id, "app/api.ts::loadUser");
  EXPECT_EQ(r.body_hash, text::short_hash("export function loadUser() {\n  return 1;\n}"));
  EXPECT_EQ(r.keywords, _name_keywords("loadUser"));
}

TEST(ExtractSymbolsTs, LineStartCountsOnlyLineFeeds) {
  // The form feed splits `lines` but is not a "\n": the declaration's line index (1) points
  // at the piece "b", and the block is counted from there.
  const auto records = extract_symbols_ts("a\fb\nexport function foo() {}\n", "x.ts");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].line_start, 1);
  EXPECT_EQ(records[0].line_end, 2);
  EXPECT_EQ(records[0].body_hash, text::short_hash("b\nexport function foo() {}"));
}

struct BlockCase {
  const char* name;
  std::vector<std::string_view> lines;
  std::int64_t start;
  std::int64_t expected;
};

void PrintTo(const BlockCase& c, std::ostream* out) { *out << c.name; }

std::vector<std::string_view> repeated(std::string_view first, std::string_view rest,
                                       std::size_t count) {
  std::vector<std::string_view> lines(count, rest);
  lines[0] = first;
  return lines;
}

const std::vector<BlockCase>& block_cases() {
  static const std::vector<BlockCase> cases = [] {
    std::vector<BlockCase> c = {
        {"braces_on_the_declaration_line", {"function a() { return 1; }", "x"}, 0, 0},
        {"nested_block", {"f() {", "  if (x) {", "  }", "}", "y"}, 0, 3},
        {"opening_brace_on_a_later_line", {"type A =", "  B", "  | {", "  c: 1 }", "z"}, 0, 3},
        {"escaped_opening_brace_does_not_count", {"a(/\\{/) {", "}", "c"}, 0, 1},
        {"escaped_closing_brace_does_not_count", {"f() {", "  b(/\\}/);", "}", "c"}, 0, 2},
        {"closing_braces_first_then_an_opening_one_ends_at_once", {"}", "}", "{", "x"}, 0, 2},
        {"no_opening_brace_falls_back_to_the_last_line", repeated("type A = B", "x", 10), 0, 9},
        {"start_counts_from_its_own_line", {"{", "a {", "}", "}"}, 1, 2},
    };
    auto never_closes = repeated("f() {", "x", 1000);
    c.push_back({"block_that_never_closes_ends_100_lines_on", never_closes, 0, 100});
    auto late_close = repeated("f() {", "x", 1000);
    late_close[400] = "}";
    c.push_back({"close_after_the_400_line_window_is_not_seen", late_close, 0, 100});
    auto last_in_window = repeated("f() {", "x", 1000);
    last_in_window[399] = "}";
    c.push_back({"close_on_the_400th_line_is_seen", last_in_window, 0, 399});
    auto near_end = repeated("f() {", "x", 50);
    c.push_back({"fallback_is_capped_at_the_last_line", near_end, 10, 49});
    return c;
  }();
  return cases;
}

class FindBlockEndTs : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FindBlockEndTs, CountsBraces) {
  const BlockCase& c = GetParam();
  EXPECT_EQ(_find_block_end_ts(c.lines, c.start), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Blocks, FindBlockEndTs, ::testing::ValuesIn(block_cases()),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ExtractSymbolsTs, BlockEndIsTheSameInsideExtraction) {
  // Extraction reuses brace counts across symbols; the result must match a direct walk.
  std::string text = "export function a() {\n";
  for (int i = 0; i < 500; ++i) text += "x {\n";
  text += "export function b() {}\n";
  const auto records = extract_symbols_ts(text, "x.ts");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].line_end, 100);
  EXPECT_EQ(records[1].line_start, 501);
  EXPECT_EQ(records[1].line_end, 501);
}

struct ClassifyCase {
  const char* name;
  bool exported;
  Classification expected;
};

TEST(ClassifyTs, FirstMatchingRuleWins) {
  const ClassifyCase cases[] = {
      {"GET", false, {"api_route", "high"}},
      {"Get", true, {"use_case", "medium"}},
      {"useState", false, {"hook", "high"}},
      {"use\xC3\x89tat", true, {"hook", "high"}},  // É is upper case outside ASCII
      {"use", true, {"use_case", "high"}},
      {"user", true, {"use_case", "high"}},
      {"useful", false, {"utility", "medium"}},
      {"use1", true, {"use_case", "high"}},
      {"formatDate", false, {"utility", "medium"}},
      {"UserCard", false, {"utility", "medium"}},
      {"UserCard", true, {"use_case", "medium"}},
      {"\xC3\x89"
       "clair",
       true,
       {"use_case", "medium"}},
  };
  for (const ClassifyCase& c : cases) {
    EXPECT_EQ(_classify_ts(c.name, c.exported), c.expected)
        << c.name << (c.exported ? " exported" : " local");
  }
}

TEST(ExtractSymbolsTs, RecordsHoldTheirInvariantsOnRandomText) {
  // Declarations, braces, escapes and every kind of line boundary in random order.
  const std::vector<std::string> tokens = {"export ",
                                           "default ",
                                           "async ",
                                           "function ",
                                           "class ",
                                           "type ",
                                           "interface ",
                                           "const ",
                                           "let ",
                                           "useA",
                                           "B",
                                           "GET",
                                           "x",
                                           "Schema",
                                           " = ",
                                           "z.",
                                           "(",
                                           ")",
                                           "=>",
                                           "{",
                                           "}",
                                           "\\{",
                                           "\\}",
                                           "<",
                                           "\n",
                                           "\n",
                                           "\n",
                                           "\r",
                                           "\f",
                                           "\xE2\x80\xA8",
                                           " ",
                                           "\nexport function f",
                                           "\nclass C {",
                                           "\ntype T = ",
                                           "\nexport const g = x => {"};
  std::mt19937 rng(11);
  std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
  std::size_t records = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = 0; n < 60; ++n) text += tokens[pick(rng)];
    std::set<std::string> names;
    for (const SymbolRecord& r : extract_symbols_ts(text, "f.ts")) {
      EXPECT_TRUE(names.insert(r.name).second) << "repeated " << r.name;
      EXPECT_EQ(r.id, "f.ts::" + r.name);
      EXPECT_GE(r.line_start, 0);
      EXPECT_GE(r.line_end, r.line_start) << text;
      ++records;
    }
  }
  EXPECT_GT(records, 1000u);
}

}  // namespace
}  // namespace plinthar::scanner
