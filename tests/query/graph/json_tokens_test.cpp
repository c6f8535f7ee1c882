#include "plinthar/query/graph/json_tokens.hpp"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {
namespace {

// The escape check written the plain way: one escape after another.
bool plain_escapes_reference(std::string_view body) {
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\') continue;
    if (i + 1 >= body.size()) return false;
    const char kind = body[++i];
    if (std::string_view("\"\\/bfnrt").find(kind) != std::string_view::npos) continue;
    if (kind != 'u') return false;
    const auto unit = text::hex_unit(body, i + 1);
    if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF)) return false;
    i += 4;
    if (*unit < 0xD800 || *unit > 0xDBFF) continue;
    if (body.substr(i + 1, 2) != "\\u") return false;
    const auto low = text::hex_unit(body, i + 3);
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

}  // namespace
}  // namespace plinthar::query
