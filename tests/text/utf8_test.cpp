#include "plinthar/text/utf8.hpp"

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::text {
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
  EXPECT_EQ(cp_shortened(text, 8), text);
  EXPECT_EQ(cp_shortened(text, 7), "h\xc3\xa9llo \xe2\x80\xa6");  // never half of the emoji
  EXPECT_EQ(cp_shortened(text, 2), "h\xe2\x80\xa6");
  EXPECT_EQ(cp_shortened(text, 1), "\xe2\x80\xa6");
  EXPECT_EQ(cp_shortened(text, 0), "");
}

TEST(Utf8Validation, RejectsWhatDecodingDrops) {
  EXPECT_TRUE(is_valid_utf8("plain caf\xc3\xa9"));
  EXPECT_FALSE(is_valid_utf8("a\xff"));
  EXPECT_FALSE(is_valid_utf8("\xed\xa0\x80"));
  EXPECT_FALSE(is_valid_utf8("\xe2\x82"));
}

}  // namespace
}  // namespace plinthar::text
