#include "plinthar/query/rank/capability_index.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "plinthar/error.hpp"
#include "test_util.hpp"

namespace plinthar::query {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* EXAMPLE_INDEX =
    "## Checkout flow\n"
    "Keywords: checkout, Payment , cart,,\n"
    "- `web/src/pages/Checkout.tsx`\n"
    "- api/payments/service.py\n"
    "- see the design notes\n"
    "## Empty capability\n"
    "## Order list\n"
    "- `web/src/components/features/OrderTable.tsx`\n";

std::vector<CapabilityEntry> load_text(std::string_view text) {
  const testing::TempDir dir;
  return load_capability_index(dir.write("functionality_index.md", text));
}

TEST(LoadCapabilityIndex, ExampleFile) {
  const std::vector<CapabilityEntry> expected = {
      {"Checkout flow",
       {"checkout", "payment", "cart"},
       {"web/src/pages/Checkout.tsx", "api/payments/service.py"}},
      {"Order list", {}, {"web/src/components/features/OrderTable.tsx"}},
  };
  EXPECT_EQ(load_text(EXAMPLE_INDEX), expected);
}

struct IndexCase {
  const char* name;
  const char* text;
  std::vector<CapabilityEntry> entries;
};

TEST(LoadCapabilityIndex, LineRules) {
  const IndexCase cases[] = {
      {"later keywords line replaces earlier",
       "## A\nkeywords: x\nKEYWORDS: y, Z\n",
       {{"A", {"y", "z"}, {}}}},
      {"only outer backticks removed",
       "## A\n- `src/app.py` (entry point)\n",
       {{"A", {}, {"src/app.py` (entry point)"}}}},
      {"items need a slash and a dot",
       "## A\n- README.md\n- docs/\n- ./run\n- src/pages/*\n- ./src/pages/*\n- web/app.v2/\n",
       {{"A", {}, {"./run", "./src/pages/*", "web/app.v2/"}}}},
      {"empty keywords line with files", "## A\nkeywords:\n- a/b.py\n", {{"A", {}, {"a/b.py"}}}},
      {"indentation, CRLF and form feed",
       "  ## A  \r\n\t- a/b.py\f  keywords: k \r",
       {{"A", {"k"}, {"a/b.py"}}}},
      {"lines before the first heading dropped",
       "keywords: x\n- a/b.py\n## A\n- c/d.py\n",
       {{"A", {}, {"c/d.py"}}}},
      {"not headings", "### Sub\n#Title\n##\n- a/b.py\n", {}},
      {"dash keywords line is a file line",
       "## A\n- keywords: a, b\n- keywords: a/b.c\n",
       {{"A", {}, {"keywords: a/b.c"}}}},
      {"duplicate headings give two entries",
       "## A\n- a/b.py\n## A\n- a/b.py\n- a/b.py\n",
       {{"A", {}, {"a/b.py"}}, {"A", {}, {"a/b.py", "a/b.py"}}}},
      {"invalid bytes dropped",
       "## A\xff\n- a/\xfe"
       "b.py\n",
       {{"A", {}, {"a/b.py"}}}},
  };
  for (const auto& c : cases) EXPECT_EQ(load_text(c.text), c.entries) << c.name;
}

TEST(LoadCapabilityIndex, MissingFileIsEmptyAndDirectoryIsAnError) {
  const testing::TempDir dir;
  EXPECT_TRUE(load_capability_index(dir / "absent.md").empty());
  EXPECT_THROW(load_capability_index(dir.path()), Error);
}

// A FIFO or a device in place of the index is not read (it could block or never end).
TEST(LoadCapabilityIndex, WhatIsNotARegularFileReadsAsMissing) {
  const testing::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.md").c_str(), 0600), 0);
  EXPECT_TRUE(load_capability_index(dir / "fifo.md").empty());
  EXPECT_TRUE(load_capability_index("/dev/null").empty());
}

struct BoostCase {
  const char* name;
  Strings terms;
  FileBoosts boosts;
};

TEST(CapabilityFileBoosts, Table) {
  const std::vector<CapabilityEntry> caps = {
      {"Checkout flow",
       {"checkout", "payment", "cart"},
       {"web/src/pages/Checkout.tsx", "api/payments/service.py"}},
      {"Orders",
       {"orders", "list", "ORDERS", "design system"},
       {"web/orders/", "api/payments/service.py"}},
      {"Everything", {"checkout", "payment", "cart", "orders"}, {"web/src/pages/Checkout.tsx"}},
  };
  const BoostCase cases[] = {
      {"two shared keywords",
       {"checkout", "cart"},
       {{"web/src/pages/Checkout.tsx", 8}, {"api/payments/service.py", 8}}},
      {"largest boost kept, first-boost order",
       {"orders", "checkout", "payment", "cart"},
       {{"web/src/pages/Checkout.tsx", 12}, {"api/payments/service.py", 10}, {"web/orders/", 6}}},
      {"exact whole-word matching", {"order", "design", "system", "check"}, {}},
      {"no terms", {}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(capability_file_boosts(c.terms, caps), c.boosts) << c.name;
  EXPECT_TRUE(capability_file_boosts({"cart"}, {}).empty());
}

}  // namespace
}  // namespace plinthar::query
