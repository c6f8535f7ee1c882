#include "plinthar/text/regex.hpp"

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"

namespace plinthar::text {
namespace {

std::vector<std::string> all(const Regex& re, std::string_view text) {
  std::vector<std::string> out;
  for (auto piece : re.find_all(text)) out.emplace_back(piece);
  return out;
}

TEST(Regex, AlternationIsFirstFitNotLongest) {
  const Regex re("(ts|tsx)");
  EXPECT_EQ(re.search("a.tsx")->group(1), "ts");
}

TEST(Regex, CaretAndDollarWithoutMultiline) {
  const Regex caret("^x");
  EXPECT_TRUE(caret.search("xa\nx"));
  EXPECT_EQ(all(caret, "xa\nx").size(), 1u);
  const Regex dollar("a$");
  EXPECT_TRUE(dollar.search("ba\n"));  // before a final line feed
  EXPECT_FALSE(dollar.search("ba\nc"));
  EXPECT_FALSE(dollar.search("ba\n\n"));  // only the very last line feed
}

TEST(Regex, MultilineCaretMatchesAfterEveryLineFeed) {
  const Regex re("^", MULTILINE);
  EXPECT_EQ(re.find_iter("a\nb\n").size(), 3u);  // also after the final "\n"
  const Regex word("^(\\w+)", MULTILINE);
  EXPECT_EQ(all(word, "one\r\ntwo\nthree"), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(Regex, DotStopsOnlyAtLineFeed) {
  EXPECT_EQ(Regex("a.b").search("a\rb")->group(), "a\rb");
  EXPECT_FALSE(Regex("a.b").search("a\nb"));
  EXPECT_TRUE(Regex("a.b", DOTALL).search("a\nb"));
}

TEST(Regex, UnicodeClassesAndCaseFolding) {
  EXPECT_EQ(Regex("\\w+").search("  \xc3\xa9t\xc3\xa9_1 ")->group(), "\xc3\xa9t\xc3\xa9_1");
  EXPECT_TRUE(
      Regex("a\\sb").search("a\xe3\x80\x80"
                            "b"));
  EXPECT_TRUE(Regex("\\bcaf\xc3\xa9\\b").search("un caf\xc3\xa9."));
  EXPECT_FALSE(Regex("[A-Za-z]").search("\xc3\xa9"));  // ASCII ranges stay ASCII
  EXPECT_TRUE(Regex("ROUTER", IGNORECASE).search("router"));
}

TEST(Regex, UnsetGroupReadsAsEmpty) {
  const auto found = Regex("(a)|(b)").search("b");
  ASSERT_TRUE(found);
  EXPECT_FALSE(found->matched(1));
  EXPECT_EQ(found->group(1), "");
  EXPECT_EQ(found->group(2), "b");
}

TEST(Regex, MatchIsAnchoredAtTheStart) {
  EXPECT_FALSE(Regex("b").match("ab"));
  EXPECT_EQ(Regex("\\s*x").match("  xy")->group(), "  x");
}

TEST(Regex, IterationSplitAndSubstitution) {
  const Regex camel("([a-z0-9])([A-Z])");
  EXPECT_EQ(camel.sub("\\1 \\2", "getUserById"), "get User By Id");
  EXPECT_EQ(Regex("[,\\s]+").split("a, b,,c"), (std::vector<std::string_view>{"a", "b", "c"}));
  EXPECT_EQ(Regex(",").split(",a,"), (std::vector<std::string_view>{"", "a", ""}));
  EXPECT_EQ(Regex("x*").sub("-", "abxd"), "-a-b--d-");  // empty matches next to others
  EXPECT_EQ(all(Regex("\\d+"), "a1b22c333"), (std::vector<std::string>{"1", "22", "333"}));
}

TEST(Regex, IterationResumesAtTheEndOfTheLastMatch) {
  const Regex re("aa");
  EXPECT_EQ(re.find_iter("aaaaa").size(), 2u);
  std::vector<std::size_t> starts;
  re.for_each("aaaaa", [&](const RegexMatch& m) {
    starts.push_back(m.start());
    return true;
  });
  EXPECT_EQ(starts, (std::vector<std::size_t>{0, 2}));
}

TEST(Regex, BadPatternIsReportedWithThePattern) {
  try {
    Regex bad("(unclosed");
    FAIL() << "expected an exception";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("(unclosed"), std::string::npos);
  }
}

}  // namespace
}  // namespace plinthar::text

namespace plinthar::text {
namespace {

TEST(Regex, LongRepetitionOfAGroupStillMatches) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "public ";
  text += "func run";
  const Regex re(R"(^(?:public\s+|private\s+)*func\s+(\w+))", MULTILINE);
  const auto found = re.search(text);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->group(1), "run");
}

// 300,000 repetitions overflow the JIT's 8 MiB stack; the retry with the interpreter
// finds the match that used to read as none.
TEST(Regex, RepetitionBeyondTheJitStackStillMatches) {
  std::string text;
  for (int i = 0; i < 300000; ++i) text += "public ";
  text += "func run";
  const Regex re(R"(^(?:public\s+|private\s+)*func\s+(\w+))", MULTILINE);
  const auto found = re.search(text);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->group(1), "run");
  EXPECT_EQ(take_unfinished_searches(), std::vector<std::string>{});
}

// A search that backtracks beyond every limit ends the iteration, but the matches found
// before it stand and the search is recorded, once, for the caller to report.
TEST(Regex, SearchBeyondTheLimitsIsRecordedAndEarlierMatchesStand) {
  take_unfinished_searches();
  const Regex re("x|(a+)+b");
  const std::string text = "x x " + std::string(30, 'a') + "c b x";
  EXPECT_EQ(all(re, text), (std::vector<std::string>{"x", "x"}));
  EXPECT_EQ(
      take_unfinished_searches(),
      std::vector<std::string>{"search for 'x|(a+)+b' from byte 3 stopped: match limit exceeded"});
  EXPECT_EQ(take_unfinished_searches(), std::vector<std::string>{});
}

// Every match of `re` in `text` as "start-end:group1", group 1 where it took part.
std::vector<std::string> matches_with_groups(const Regex& re, std::string_view text) {
  std::vector<std::string> out;
  for (const RegexMatch& found : re.find_iter(text)) {
    out.push_back(std::to_string(found.start()) + "-" + std::to_string(found.end()) + ":" +
                  std::string(found.group(1)));
  }
  return out;
}

// Threads searching with the same patterns at once each find what one thread finds
// alone, deep JIT recursion and searches that run out of limits included, and each learns
// only of its own unfinished searches. With shared match data or a shared JIT stack,
// threads overwrite each other's offsets and frames.
TEST(Regex, ThreadsSearchingAtOnceFindWhatOneThreadFinds) {
  const Regex word(R"((\w+)\s*=)");
  const Regex declaration(R"(^(?:public\s+|private\s+)*func\s+(\w+))", MULTILINE);
  const Regex runaway("x|(a+)+b");
  std::vector<std::string> texts = {"a = 1\nbé = 2\nfunc x\n",
                                    "x x " + std::string(30, 'a') + "c b x"};
  std::string modifiers;
  for (int i = 0; i < 4000; ++i) modifiers += i % 2 == 0 ? "public " : "private ";
  texts.push_back(modifiers + "func deep\nvalue = 3\n");
  const auto results = [&] {
    std::vector<std::string> out;
    for (const std::string& text : texts) {
      for (const Regex* re : {&word, &declaration, &runaway}) {
        for (std::string& found : matches_with_groups(*re, text)) out.push_back(std::move(found));
      }
    }
    for (std::string& search : take_unfinished_searches()) out.push_back(std::move(search));
    return out;
  };
  const std::vector<std::string> alone = results();
  ASSERT_FALSE(alone.empty());
  std::vector<std::vector<std::string>> seen(4, alone);
  std::vector<std::thread> threads;
  for (auto& found : seen) {
    threads.emplace_back([&found, &results, &alone] {
      for (int round = 0; round < 2 && found == alone; ++round) found = results();
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& found : seen) EXPECT_EQ(found, alone);
}

}  // namespace
}  // namespace plinthar::text
