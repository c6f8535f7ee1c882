// The keyword prechecks may only rule a pattern out when it truly cannot match: every
// text where the plain pattern finds a match must pass its precheck. Random texts from
// an alphabet of the tokens the patterns care about (receivers, methods, quotes, white
// space of several kinds, the non-ASCII case forms of "s" and "k") test that; a few
// named rows pin down what must and what need not pass.

#include "plinthar/scanner/extract/keyword_prechecks.hpp"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/text/regex.hpp"

namespace plinthar::scanner {

namespace {

const text::Regex& registration_pattern() {
  static const text::Regex pattern(
      R"((?:app|router|r|mux|api)\s*[.\@]\s*(get|post|put|delete|patch|handle|handlefunc)\s*\(\s*['"/]([^'")\s]+))",
      text::IGNORECASE);
  return pattern;
}

const text::Regex& http_pattern() {
  static const text::Regex pattern(
      R"((?:fetch|axios\.(?:get|post|put|delete)|requests\.(?:get|post|put|delete))\s*\(\s*[`'"](https?://[^`'"]+|/[^`'"]+)[`'"])",
      text::IGNORECASE);
  return pattern;
}

struct Row {
  const char* name;
  const char* text;
  bool registration;  // what may_register_route must answer
  bool http;          // what may_call_http must answer
};

TEST(KeywordPrechecks, NamedRows) {
  const Row rows[] = {
      {"empty", "", false, false},
      {"plain_code", "x = compute(a, b)\nprint(x.value)\n", false, false},
      {"route", "app.get('/users')", true, true},
      {"route_spaced_upper", "ROUTER . POST  (\n'/x')", true, false},
      {"route_decorator_receiver", "@api.handleFunc(\"/x\")", true, false},
      {"dict_get", "config.get('key')", false, true},
      {"method_without_call", "app.get_user('/x')", false, false},
      {"nbsp_before_mark", "app\xC2\xA0.get('/x')", true, true},
      {"long_s_in_method", "app.po\xC5\xBFt('/x')", true, true},
      {"fetch", "fetch('/api/x')", false, true},
      {"fetch_upper_spaced", "FETCH ( \"https://h/x\")", false, true},
      {"axios", "axios.delete(`/x`)", false, true},
      {"requests_long_s", "reque\xC5\xBFts.get('http://h')", false, true},
      {"fetch_without_quote", "fetch(url)", false, false},
      {"get_without_dot", "get('/x')", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(may_register_route(row.text), row.registration);
    EXPECT_EQ(may_call_http(row.text), row.http);
    if (registration_pattern().search(row.text)) {
      EXPECT_TRUE(row.registration);
    }
    if (http_pattern().search(row.text)) {
      EXPECT_TRUE(row.http);
    }
  }
}

std::string random_text(std::mt19937& rng, const std::vector<std::string>& tokens) {
  std::uniform_int_distribution<std::size_t> count(0, 12);
  std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
  std::string text;
  for (std::size_t n = count(rng); n > 0; --n) text += tokens[pick(rng)];
  return text;
}

struct Case {
  const char* name;
  const text::Regex& pattern;
  bool (*precheck)(std::string_view);
  std::vector<std::string> tokens;
};

TEST(KeywordPrechecks, NeverRuleOutAMatch) {
  const std::vector<std::string> spaces = {" ",        "\n",           "\t",  "\x0B",
                                           "\xC2\xA0", "\xE2\x80\xA8", "\x1C"};
  const std::vector<std::string> quotes = {"'", "\"", "`", "/", "(", ")", "x", "é"};
  std::vector<std::string> route_tokens = {
      "app",  "APP", "router", "r",           "mux",    "api",    "Api",   ".",      ".",
      "@",    "get", "post",   "PO\xC5\xBFT", "put",    "delete", "patch", "handle", "handleFunc",
      "func", "p",   "u",      "app.get(",    "r.post", "('/p",   "( \"x", "mux @ ", "Router."};
  std::vector<std::string> http_tokens = {
      "fetch",    "FETCH",           "fetc", "axios",  "axios.",     ".",
      "requests", "reque\xC5\xBFts", "get",  "post",   "put",        "Delete",
      "http://h", "https://",        "/p",   "fetch(", "axios.get(", "requests.post",
      "('/p",     "(`http://x",      "/p'",  "x`",     "y\""};
  for (auto* tokens : {&route_tokens, &http_tokens}) {
    tokens->insert(tokens->end(), spaces.begin(), spaces.end());
    tokens->insert(tokens->end(), quotes.begin(), quotes.end());
    tokens->insert(tokens->end(), quotes.begin(), quotes.end());
  }
  const Case cases[] = {
      {"registration", registration_pattern(), may_register_route, route_tokens},
      {"http", http_pattern(), may_call_http, http_tokens},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(99);
    std::size_t matched = 0;
    std::size_t ruled_out = 0;
    for (int round = 0; round < 100000; ++round) {
      const std::string text = random_text(rng, c.tokens);
      const bool passes = c.precheck(text);
      if (c.pattern.search(text)) {
        ++matched;
        ASSERT_TRUE(passes) << "text: \"" << text << "\"";
      }
      if (!passes) ++ruled_out;
    }
    // The alphabet must produce matches, and the precheck must rule out a good share.
    EXPECT_GT(matched, 500u) << ruled_out;
    EXPECT_GT(ruled_out, 25000u) << matched;
  }
}

}  // namespace
}  // namespace plinthar::scanner
