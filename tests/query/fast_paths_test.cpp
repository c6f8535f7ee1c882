// Checks the shortcuts of the ranking path against plain versions of the same work.

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/query/char_mask.hpp"
#include "plinthar/query/directory_markers.hpp"
#include "plinthar/query/json_text.hpp"
#include "plinthar/query/json_tokens.hpp"
#include "plinthar/query/lowering.hpp"
#include "plinthar/query/sorted_on_demand.hpp"
#include "plinthar/scanner/text.hpp"

namespace plinthar::query {
namespace {

struct Item {
  int key;
  std::size_t position;
};

TEST(SortedOnDemand, EveryPrefixMatchesAStableSort) {
  std::mt19937 random(7);
  const auto before = [](const Item& a, const Item& b) {
    return a.key != b.key ? a.key < b.key : a.position < b.position;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<Item> items(random() % 400);
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = {static_cast<int>(random() % 9), i};
    std::vector<Item> expected = items;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Item& a, const Item& b) { return a.key < b.key; });
    SortedOnDemand sorted(items, before);
    // Reads jump ahead and back, as the choice of rows does when it skips entries.
    const std::size_t limit = items.empty() ? 0 : random() % items.size() + 1;
    for (std::size_t i = 0; i < limit; i += 1 + random() % 3) {
      ASSERT_EQ(sorted[i].position, expected[i].position) << "round " << round << " index " << i;
      ASSERT_EQ(sorted[i / 2].position, expected[i / 2].position);
    }
  }
}

// The escape check written the plain way: one escape after another.
bool plain_escapes_reference(std::string_view body) {
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\') continue;
    if (i + 1 >= body.size()) return false;
    const char kind = body[++i];
    if (std::string_view("\"\\/bfnrt").find(kind) != std::string_view::npos) continue;
    if (kind != 'u') return false;
    const auto unit = hex_unit(body, i + 1);
    if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF)) return false;
    i += 4;
    if (*unit < 0xD800 || *unit > 0xDBFF) continue;
    if (body.substr(i + 1, 2) != "\\u") return false;
    const auto low = hex_unit(body, i + 3);
    if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
    i += 6;
  }
  return true;
}

TEST(PlainEscapes, MatchesThePlainCheckAtEveryAlignment) {
  std::mt19937 random(11);
  const std::vector<std::string> pieces = {"a",     "bc",      "\\n",     "\\\\",
                                           "\\\"",  "\\u00e9", "\\",      "\\x",
                                           "\\u12", "\\ud83d", "\\ude00", "0123456789abcdef",
                                           "u",     "D8"};
  for (int round = 0; round < 20000; ++round) {
    std::string body;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) body += pieces[random() % pieces.size()];
    ASSERT_EQ(has_plain_escapes(body), plain_escapes_reference(body)) << body;
  }
}

TEST(Lowered, EqualsFullLowerCasingAndCopiesOnlyWhenNeeded) {
  std::string buffer;
  for (const std::string text :
       {"", "already/lower_case.py", "Mixed/Case.TSX", "ÉCOLE/Straße", "İstanbul", "a\xc3\xa9"}) {
    const std::string_view result = lowered(text, buffer);
    EXPECT_EQ(result, scanner::to_lower(text)) << text;
    const bool ascii_lower = std::none_of(text.begin(), text.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
    });
    if (ascii_lower) {
      EXPECT_EQ(result.data(), text.data()) << text;
    }
  }
}

TEST(CharMask, NeverRulesOutARealMatch) {
  std::mt19937 random(3);
  const std::string alphabet = "ab/_.\x7f\xc3\xa9 Z0";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::string part;
    for (int i = static_cast<int>(random() % 12); i > 0; --i)
      text += alphabet[random() % alphabet.size()];
    for (int i = static_cast<int>(random() % 4); i > 0; --i)
      part += alphabet[random() % alphabet.size()];
    const bool found = text.find(part) != std::string::npos;
    ASSERT_EQ(MaskedText(text).contains(MaskedText(part)), found) << text << " / " << part;
  }
}

TEST(DirectoryMarkers, AgreeWithASearchForEachMarker) {
  using enum DirectoryMarker;
  const std::vector<std::pair<DirectoryMarker, std::string>> markers = {
      {test, "/test/"},
      {tests, "/tests/"},
      {components_ui, "/components/ui/"},
      {components_features, "/components/features/"},
      {pages, "/pages/"},
      {views, "/views/"},
      {screens, "/screens/"},
      {api, "/api/"},
      {services, "/services/"},
      {store, "/store/"},
      {hooks, "/hooks/"},
      {utils, "/utils/"},
      {venv, "/venv/"},
      {dot_venv, "/.venv/"}};
  const std::vector<std::string> pieces = {
      "/",     "components", "ui",   "features", "pages",    "api",     "test",
      "tests", ".venv",      "venv", "x",        "apis",     "::",      "store",
      "page",  "utils/",     "/ui",  "hooks",    "services", "screens", "views"};
  std::mt19937 random(5);
  for (int round = 0; round < 50000; ++round) {
    std::string path;
    for (int i = static_cast<int>(random() % 9); i > 0; --i)
      path += pieces[random() % pieces.size()];
    const DirectoryMarkers found = DirectoryMarkers::of(path);
    for (const auto& [marker, text] : markers) {
      ASSERT_EQ(found.any({marker}), path.find(text) != std::string::npos) << path << " " << text;
    }
  }
}

}  // namespace
}  // namespace plinthar::query
