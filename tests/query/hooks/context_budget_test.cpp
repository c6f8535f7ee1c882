#include "plinthar/query/hooks/context_budget.hpp"

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query {
namespace {

PrimeContent sample_content() {
  PrimeContent content;
  content.query = "fix the caf\u00e9 page";
  for (int i = 0; i < 12; ++i) {
    content.result.files.push_back({{"id", "src/f\u00e9" + std::to_string(i) + ".ts"}});
  }
  for (int i = 0; i < 15; ++i) {
    content.result.edges.push_back(
        {{"from", "src/a.ts"}, {"rel", "imports"}, {"to", "./module" + std::to_string(i)}});
  }
  content.actions.push_back({{"kind", "edit"}, {"summary", "changed the button"}});
  return content;
}

// How many files and relations a block lists, read from its headings.
std::pair<std::size_t, std::size_t> listed(const std::string& block) {
  const auto count_after = [&block](const std::string& heading) {
    const std::size_t at = block.find(heading) + heading.size();
    return std::stoul(block.substr(at, block.find(')', at) - at));
  };
  return {count_after("## Relevant Files (Top "), count_after("## Relevant Relations (Top ")};
}

TEST(ContextBudget, KeepsTheMostWholeLinesThatFitRelationsGoingFirst) {
  const PrimeContent content = sample_content();
  const std::string whole = format_prime(content.query, content.result, content.actions);
  EXPECT_EQ(fit_prime_block(content, 9000), whole);
  const std::size_t empty_size = text::cp_length(format_prime(content.query, {}, content.actions));
  for (std::size_t budget = empty_size; budget <= text::cp_length(whole); budget += 7) {
    const std::string block = fit_prime_block(content, static_cast<std::int64_t>(budget));
    ASSERT_LE(text::cp_length(block), budget);
    const auto [files, edges] = listed(block);
    if (edges > 0) {
      EXPECT_EQ(files, content.result.files.size()) << budget;
    }
    // The same lists, cut: the block is the full block of that many files and relations.
    PrimeContent kept = content;
    kept.result.files.resize(files);
    kept.result.edges.resize(edges);
    EXPECT_EQ(block, format_prime(kept.query, kept.result, kept.actions)) << budget;
    // One more line would not have fitted.
    if (edges < content.result.edges.size()) {
      PrimeContent more = content;
      more.result.files.resize(std::min(files + 1, content.result.files.size()));
      more.result.edges.resize(files < content.result.files.size() ? 0 : edges + 1);
      EXPECT_GT(text::cp_length(format_prime(more.query, more.result, more.actions)), budget);
    }
  }
}

TEST(ContextBudget, LongQueriesAndTrailsYieldToTheFiles) {
  PrimeContent content = sample_content();
  content.query = std::string(5000, 'q');
  content.actions.clear();
  for (int i = 0; i < 20; ++i) {
    content.actions.push_back(
        {{"kind", "command"}, {"summary", std::to_string(i) + std::string(1000, 's')}});
  }
  const struct {
    std::int64_t budget;
    std::string trail_heading;
    const char* last_line;
  } rows[] = {
      {9000, "## Action Trail (Recent 20)\n", "- [command] 19sss"},
      {1500, "## Action Trail (Recent 2)\n", "- [command] 19sss"},
      {1000, "## Action Trail (Recent 0)\n", "- (20 left out to fit the budget)\n"},
  };
  for (const auto& row : rows) {
    const std::string block = fit_prime_block(content, row.budget);
    EXPECT_LE(text::cp_length(block), static_cast<std::size_t>(row.budget));
    EXPECT_EQ(listed(block).first, content.result.files.size()) << row.budget;
    EXPECT_NE(block.find("- Query: " + std::string(MOST_QUERY_CHARS - 1, 'q') + "\u2026\n"),
              std::string::npos);
    const std::size_t trail = block.find(row.trail_heading);
    ASSERT_NE(trail, std::string::npos) << row.budget << block;
    const std::size_t last = block.rfind("\n- ", block.size() - 2) + 1;
    EXPECT_TRUE(block.substr(last).starts_with(row.last_line)) << row.budget << block;
    EXPECT_LE(block.size() - last, MOST_SUMMARY_CHARS * 3 + 16);  // "s" is one byte, "…" three
  }
}

TEST(ContextBudget, RefusesWhenTheBlockCannotFitWithoutFilesAndRelations) {
  EXPECT_THROW(fit_prime_block(sample_content(), 100), Error);
  EXPECT_THROW(fit_prime_block(sample_content(), -1), Error);
}

}  // namespace
}  // namespace plinthar::query
