#include "plinthar/scanner/text.hpp"

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::scanner {
namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::string expected;
};

TEST(DecodeText, DropsInvalidBytesAndNormalisesLineEnds) {
  const std::vector<DecodeCase> cases = {
      {"crlf and lone cr", "a\r\nb\rc\n", "a\nb\nc\n"},
      {"cr at end", "a\r", "a\n"},
      {"cr cr lf", "a\r\r\nb", "a\n\nb"},
      {"stray ff byte",
       "ab\xff"
       "cd",
       "abcd"},
      {"overlong slash",
       "a\xc0\xaf"
       "b",
       "ab"},
      {"overlong three byte",
       "a\xe0\x80\xaf"
       "b",
       "ab"},
      {"encoded surrogate",
       "a\xed\xa0\x80"
       "b",
       "ab"},
      {"above U+10FFFF",
       "a\xf4\x90\x80\x80"
       "b",
       "ab"},
      {"truncated sequence before ascii",
       "a\xe2\x82"
       "b",
       "ab"},
      {"lone continuation", "\x80x\xbf", "x"},
      {"valid multibyte kept", "caf\xc3\xa9 \xf0\x9f\x98\x80", "caf\xc3\xa9 \xf0\x9f\x98\x80"},
      {"bom kept", "\xef\xbb\xbfhi", "\xef\xbb\xbfhi"},
      {"invalid byte between cr and lf", "a\r\xff\nb", "a\nb"},
  };
  for (const auto& c : cases) EXPECT_EQ(decode_text(c.bytes), c.expected) << c.name;
}

// Decoding one byte at a time, the plain way: the reference for the run-skipping
// decoder.
std::string reference_decode(std::string_view bytes) {
  std::string valid;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t length = utf8_sequence_length(bytes, pos);
    if (length == 0) {
      ++pos;
      continue;
    }
    valid.append(bytes.substr(pos, length));
    pos += length;
  }
  std::string out;
  for (std::size_t i = 0; i < valid.size(); ++i) {
    if (valid[i] != '\r') {
      out.push_back(valid[i]);
      continue;
    }
    out.push_back('\n');
    if (i + 1 < valid.size() && valid[i + 1] == '\n') ++i;
  }
  return out;
}

// ASCII runs of every length around invalid bytes, multi-byte characters and line
// ends, decoded into a fresh string and into one buffer reused across all rounds.
TEST(DecodeText, MatchesAByteByByteDecoderOnRandomBytes) {
  const std::vector<std::string> pieces = {"a",
                                           "bcdefgh",
                                           "ijklmnopqrstu",
                                           "\r",
                                           "\n",
                                           "\r\n",
                                           "\xff",
                                           "\x80",
                                           "\xc3",
                                           "\xc3\xa9",
                                           "\xe2\x82\xac",
                                           "\xf0\x9f\x98\x80",
                                           "\xed\xa0\x80",
                                           "\xc0\xaf",
                                           "\x7f",
                                           " "};
  std::mt19937 rng(9);
  std::uniform_int_distribution<std::size_t> count(0, 20);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string reused = "stale contents";
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (std::size_t n = count(rng); n > 0; --n) bytes += pieces[pick(rng)];
    const std::string expected = reference_decode(bytes);
    ASSERT_EQ(decode_text(bytes), expected) << "bytes: \"" << bytes << "\"";
    decode_text(bytes, reused);
    ASSERT_EQ(reused, expected) << "bytes: \"" << bytes << "\"";
  }
}

TEST(CodePoints, LengthAndPrefixCountCodePointsNotBytes) {
  const std::string text = "h\xc3\xa9llo \xf0\x9f\x98\x80!";  // "héllo 😀!"
  EXPECT_EQ(cp_length(text), 8u);
  EXPECT_EQ(cp_prefix(text, 2), "h\xc3\xa9");
  EXPECT_EQ(cp_prefix(text, 7), "h\xc3\xa9llo \xf0\x9f\x98\x80");
  EXPECT_EQ(cp_prefix(text, 100), text);
  EXPECT_EQ(cp_prefix(text, 0), "");
}

TEST(CaseMapping, UsesFullUnicodeMappings) {
  EXPECT_EQ(to_lower("HeLLo_World"), "hello_world");
  EXPECT_EQ(to_lower("\xc3\x89T\xc3\x89"), "\xc3\xa9t\xc3\xa9");  // ÉTÉ -> été
  EXPECT_EQ(to_lower("\xc4\xb0"), "i\xcc\x87");                   // İ -> i + dot above
  EXPECT_EQ(to_lower("\xce\x9f\xce\xa3"), "\xce\xbf\xcf\x82");    // ΟΣ -> ος (final sigma)
  EXPECT_EQ(to_upper("stra\xc3\x9f"
                     "e"),
            "STRASSE");  // ß -> SS
}

TEST(WhiteSpace, TrimsAndSplitsAtUnicodeWhiteSpace) {
  EXPECT_TRUE(is_space(U'\u3000'));
  EXPECT_TRUE(is_space(U'\u00a0'));
  EXPECT_TRUE(is_space(0x1F));
  EXPECT_FALSE(is_space(U'\u200b'));  // zero-width space is not white space
  EXPECT_EQ(trim("\xe3\x80\x80 a b\t\n"), "a b");
  EXPECT_EQ(trim_left("  x "), "x ");
  EXPECT_EQ(trim(" \t "), "");
  const std::vector<std::string_view> expected = {"a", "b", "c"};
  EXPECT_EQ(split_whitespace("  a\xc2\xa0"
                             "b\n\tc  "),
            expected);
  EXPECT_TRUE(split_whitespace(" \n ").empty());
}

struct LinesCase {
  const char* name;
  std::string text;
  std::vector<std::string_view> expected;
};

TEST(SplitLines, SplitsAtEveryLineBoundary) {
  const std::vector<LinesCase> cases = {
      {"empty", "", {}},
      {"final boundary adds no line", "a\nb\n", {"a", "b"}},
      {"blank lines kept", "a\n\nb", {"a", "", "b"}},
      {"crlf is one boundary", "a\r\nb", {"a", "b"}},
      {"lone cr", "a\rb", {"a", "b"}},
      {"vt ff and separators",
       "a\vb\fc\x1c"
       "d\x1d"
       "e\x1e"
       "f",
       {"a", "b", "c", "d", "e", "f"}},
      {"unit separator is not a boundary",
       "a\x1f"
       "b",
       {"a\x1f"
        "b"}},
      {"nel and unicode separators",
       "a\xc2\x85"
       "b\xe2\x80\xa8"
       "c\xe2\x80\xa9"
       "d",
       {"a", "b", "c", "d"}},
      {"only a boundary", "\n", {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(split_lines(c.text), c.expected) << c.name;
}

// One byte at a time, the plain way: the reference for the word-at-a-time split.
std::vector<std::string_view> reference_split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t length = 0;
    const std::string_view rest = text.substr(pos);
    if (rest.starts_with("\r\n") || rest.starts_with("\xe2\x80\xa8") ||
        rest.starts_with("\xe2\x80\xa9") || rest.starts_with("\xc2\x85")) {
      length = rest.starts_with("\r\n") || rest.starts_with("\xc2\x85") ? 2 : 3;
    } else if (std::string_view("\n\r\v\f\x1c\x1d\x1e").find(rest[0]) != std::string_view::npos) {
      length = 1;
    }
    if (length == 0) {
      ++pos;
      continue;
    }
    lines.push_back(text.substr(start, pos - start));
    pos += length;
    start = pos;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Boundaries and look-alikes (tab, U+001F, other two- and three-byte characters) at
// every alignment, so that the eight-byte stretches start and end everywhere.
TEST(SplitLines, MatchesAByteByByteSplitOnRandomText) {
  const std::vector<std::string> pieces = {"a",
                                           "bcdefgh",
                                           "ijklmnopqrs",
                                           "\n",
                                           "\r",
                                           "\r\n",
                                           "\t",
                                           "\v",
                                           "\f",
                                           "\x1c",
                                           "\x1e",
                                           "\x1f",
                                           "\x7f",
                                           "\xc2\x85",
                                           "\xc2\xa0",
                                           "\xe2\x80\xa8",
                                           "\xe2\x80\xa9",
                                           "\xe2\x80\x99",
                                           "\xe3\x80\x80",
                                           " "};
  std::mt19937 rng(5);
  std::uniform_int_distribution<std::size_t> count(0, 24);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
    const auto expected = reference_split_lines(text);
    ASSERT_EQ(split_lines(text), expected) << "text: \"" << text << "\"";
    for (std::size_t keep : {0u, 1u, 5u}) {
      const std::vector<std::string_view> prefix(
          expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(
                                                   std::min<std::size_t>(keep, expected.size())));
      ASSERT_EQ(first_lines(text, keep), prefix) << "text: \"" << text << "\" keep " << keep;
    }
  }
}

TEST(LineIndex, CountsLineFeedsBeforeAnOffset) {
  const LineIndex index("ab\ncd\n\nef");
  EXPECT_EQ(index.line_of(0), 0u);
  EXPECT_EQ(index.line_of(2), 0u);  // the "\n" itself is still on line 0
  EXPECT_EQ(index.line_of(3), 1u);
  EXPECT_EQ(index.line_of(6), 2u);
  EXPECT_EQ(index.line_of(7), 3u);
  EXPECT_EQ(index.line_of(100), 3u);
}

TEST(Utf8Validation, RejectsWhatDecodingDrops) {
  EXPECT_TRUE(is_valid_utf8("plain caf\xc3\xa9"));
  EXPECT_FALSE(is_valid_utf8("a\xff"));
  EXPECT_FALSE(is_valid_utf8("\xed\xa0\x80"));
  EXPECT_FALSE(is_valid_utf8("\xe2\x82"));
}

}  // namespace
}  // namespace plinthar::scanner

namespace plinthar::scanner {
namespace {

TEST(WhiteSpace, TrimKeepsEverythingBetweenTheOuterNonSpaceCharacters) {
  // Pieces mixing ASCII and multi-byte white space with multi-byte letters.
  const std::string pieces[] = {" ", "\t",       "\xe3\x80\x80",     "\xc2\xa0",
                                "a", "\xc3\xa9", "\xf0\x9f\x98\x80", "\xe2\x80\x8b"};
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> chosen;
    for (int i = static_cast<int>(random() % 8); i > 0; --i) {
      chosen.push_back(pieces[random() % std::size(pieces)]);
    }
    std::string text;
    for (const auto& piece : chosen) text += piece;
    std::size_t first = 0;
    std::size_t last = chosen.size();
    const auto blank = [&](std::size_t i) { return i < 4; };
    while (first < last && blank(std::find(std::begin(pieces), std::end(pieces), chosen[first]) -
                                 std::begin(pieces))) {
      ++first;
    }
    while (last > first && blank(std::find(std::begin(pieces), std::end(pieces), chosen[last - 1]) -
                                 std::begin(pieces))) {
      --last;
    }
    std::string expected;
    for (std::size_t i = first; i < last; ++i) expected += chosen[i];
    EXPECT_EQ(trim(text), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace plinthar::scanner
