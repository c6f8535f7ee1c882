#include "plinthar/text/words.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

using Words = std::vector<std::string>;

TEST(Words, SplitsRunsAtUnderscoresAndCaseChangesAndAddsTheWholeRun) {
  const struct {
    const char* text;
    Words terms;
  } cases[] = {
      {"getUserById", {"user", "id", "getuserbyid"}},  // "get" and "by" are stop words
      {"XMLHttpRequest", {"xml", "http", "request", "xmlhttprequest"}},
      {"v2Api", {"api", "v2api"}},  // "v" is too short, "2" all digits
      {"ABc", {"bc", "abc"}},
      {"JSONMixin", {"json", "mixin", "jsonmixin"}},
      {"before_first_request", {"befor", "first", "request", "beforefirstrequest"}},
      {"v2", {"v2"}},
      {"__init__", {"init"}},  // one part: no whole run
      {"HTTPServer", {"http", "server", "httpserver"}},
      {"fix the cart-item total", {"cart", "item", "total"}},
      {"caf\xc3\xa9 d\xc3\xa9j\xc3\xa0", {"caf"}},  // non-ASCII letters separate runs
      {"a 12 __ ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(words(c.text), c.terms) << c.text;
}

TEST(PlainWords, AreTheLowerCasedLetterAndDigitRunsOnceEach) {
  EXPECT_EQ(plain_words("Bump the version: v1.2, bump_it TestFoo"),
            (Words{"2", "bump", "it", "testfoo", "the", "v1", "version"}));
  EXPECT_EQ(plain_words("caf\xc3\xa9 -- _"), (Words{"caf"}));
  EXPECT_TRUE(plain_words("").empty());
}

TEST(Words, StemsPluralsAndVerbFormsTogether) {
  const struct {
    const char* word;
    const char* stemmed;
  } cases[] = {
      {"create", "creat"},
      {"creates", "creat"},
      {"created", "creat"},
      {"creating", "creat"},
      {"policies", "policy"},
      {"classes", "class"},
      {"sessions", "session"},
      {"ids", "ids"},
      {"class", "class"},
      {"boxes", "box"},
      {"ring", "ring"},
      {"bed", "bed"},
      {"\xc3\xa9t\xc3\xa9s", "\xc3\xa9t\xc3\xa9"},  // lengths count code points
  };
  for (const auto& c : cases) EXPECT_EQ(stem(c.word), c.stemmed) << c.word;
}

TEST(Words, DropsStopWordsButKeepsThemInsideLongerRuns) {
  EXPECT_TRUE(is_stop_word("update"));
  EXPECT_FALSE(is_stop_word("updater"));
  EXPECT_EQ(words("Update the docs"), Words({"doc"}));
  EXPECT_EQ(words("updateUser"), Words({"user", "updateuser"}));
}

TEST(Words, SplitterGivesTheSameTermsAcrossCalls) {
  WordSplitter splitter;
  EXPECT_EQ(splitter.words("OrderTable"), Words({"order", "tabl", "ordertable"}));
  EXPECT_EQ(splitter.words("order_tables"), Words({"order", "tabl", "ordertables"}));
}

}  // namespace
}  // namespace plinthar::text
