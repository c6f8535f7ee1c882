#include "plinthar/query/rank/hybrid/hybrid_query.hpp"

#include <algorithm>
#include <array>

#include <absl/container/flat_hash_map.h>

#include "plinthar/query/rank/hybrid/constants.hpp"
#include "plinthar/query/rank/hybrid/named_files.hpp"
#include "plinthar/text/ascii.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/words.hpp"

namespace plinthar::query::hybrid {

namespace {

constexpr std::array<std::string_view, 15> COMMIT_TYPES = {
    "feat",     "fix",  "docs", "doc",   "chore", "ci",    "build", "deps",
    "refactor", "perf", "test", "tests", "style", "types", "revert"};
constexpr std::array<std::string_view, 3> VERSION_WORDS = {"version", "release", "bump"};
constexpr std::array<std::string_view, 8> TEST_WORDS = {
    "test", "tests", "testing", "testcase", "testcases", "coverage", "spec", "specs"};
constexpr std::array<std::string_view, 8> DOC_WORDS = {"doc",  "docs",  "documentation", "readme",
                                                       "typo", "typos", "guide",         "guides"};
constexpr std::array<std::string_view, 3> CHANGELOG_WORDS = {"changelog", "changelogs", "history"};
constexpr std::array<std::string_view, 3> TEMPLATE_WORDS = {"template", "templates", "github"};
constexpr std::array<std::string_view, 11> CONFIG_WORDS = {
    "deps",   "dependencies", "dependency", "ci",     "workflow", "workflows",
    "config", "configs",      "lint",       "eslint", "prettier"};

template <std::size_t N>
bool names_any(const std::vector<std::string>& words, const std::array<std::string_view, N>& list) {
  return std::any_of(words.begin(), words.end(), [&](const std::string& word) {
    return std::find(list.begin(), list.end(), word) != list.end();
  });
}

// Adds the terms of `text` not seen before with `weight`; with `counted`, every
// occurrence counts towards its term's count.
void add_terms(std::string_view text, double weight, bool counted, HybridQuery& query,
               absl::flat_hash_map<std::string, std::size_t>& seen) {
  text::WordSplitter splitter;
  splitter.for_each(text, [&](std::string_view term) {
    const auto [at, added] = seen.try_emplace(std::string(term), query.terms.size());
    if (added) query.terms.push_back({std::string(term), weight, 0});
    if (counted) ++query.terms[at->second].count;
  });
}

}  // namespace

HybridQuery analyse_hybrid_query(std::string_view query) {
  static const text::Regex conventional(R"(^[ \t]*([A-Za-z0-9_]+)(?:\(([^)]*)\))?!?:[ \t])");
  static const text::Regex version_number(R"((?:^|[^A-Za-z0-9_])[vV]?[0-9]+\.[0-9]+)");
  HybridQuery out;
  absl::flat_hash_map<std::string, std::size_t> seen;  // term -> its place in out.terms
  std::string_view rest = query;
  if (const auto prefix = conventional.match(query)) {
    std::string type(prefix->group(1));
    for (char& c : type) c = text::ascii_lower(static_cast<unsigned char>(c));
    // "make_test_environ_builder: ..." names a function, not a type.
    if (std::find(COMMIT_TYPES.begin(), COMMIT_TYPES.end(), type) != COMMIT_TYPES.end()) {
      add_terms(prefix->group(2), SCOPE_WEIGHT, false, out, seen);
      rest = query.substr(prefix->end());
    }
  }
  add_terms(rest, TERM_WEIGHT, true, out, seen);
  for (WeightedTerm& term : out.terms) term.count = std::max<std::uint32_t>(term.count, 1);
  const auto words = text::plain_words(query);
  out.wants_version = names_any(words, VERSION_WORDS) || version_number.search(query).has_value();
  out.wants_tests = names_any(words, TEST_WORDS);
  out.wants_docs = names_any(words, DOC_WORDS);
  out.wants_config = names_any(words, CONFIG_WORDS);
  out.wants_changelog = names_any(words, CHANGELOG_WORDS);
  out.wants_templates = names_any(words, TEMPLATE_WORDS);
  out.named_keys = named_path_keys(query);
  return out;
}

}  // namespace plinthar::query::hybrid
