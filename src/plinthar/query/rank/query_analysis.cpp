#include "plinthar/query/rank/query_analysis.hpp"

#include <algorithm>
#include <array>
#include <unordered_set>
#include <utility>

#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query {

namespace {

bool contains_any(std::string_view text, const auto& words) {
  return std::any_of(std::begin(words), std::end(words),
                     [text](std::string_view word) { return text::contains(text, word); });
}

bool is_stop_word(std::string_view word) {
  // Filler words, plus intent triggers and "api", which would otherwise match everything.
  static const std::unordered_set<std::string_view> STOP_WORDS = {
      "a",           "an",        "the",    "to",   "for",    "with", "from",   "and",   "or",
      "of",          "on",        "in",     "by",   "you",    "your", "can",    "could", "should",
      "would",       "will",      "want",   "need", "please", "fix",  "update", "make",  "show",
      "differently", "different", "change", "do",   "it",     "api"};
  return STOP_WORDS.contains(word);
}

struct IntentPhrases {
  std::string_view intent;
  std::vector<std::string_view> phrases;
};

// Tested in this order; the first list with a phrase inside the query decides.
const std::vector<IntentPhrases>& intent_phrase_lists() {
  static const std::vector<IntentPhrases> LISTS = {
      {"explain", {"why", "explain", "architecture", "dependency", "how does"}},
      {"debug",
       {"error", "bug", "crash", "failing", "fail", "broken", "stack trace", "500", "404",
        "returning", "throws", "exception"}},
      {"test", {"test", "unit test", "integration test", "coverage"}},
      {"refactor", {"refactor", "cleanup", "simplify", "restructure", "optimize"}},
      {"feature", {"add", "create", "implement", "build", "support"}},
      {"edit", {"fix", "update", "change", "edit", "modify", "patch"}},
  };
  return LISTS;
}

// Cleans one path piece; empty when nothing usable is left.
std::string _route_segment(std::string_view piece) {
  static const text::Regex PLACEHOLDER("[{}:<>]");
  const std::string cleaned = PLACEHOLDER.sub("", piece);
  if (cleaned.empty()) return {};
  std::string lowered = text::to_lower(cleaned);
  if (lowered == "api") return {};
  return lowered;
}

std::vector<std::string> _route_segments(std::string_view path) {
  const auto first = path.find_first_not_of('/');
  if (first == std::string_view::npos) return {};
  path = path.substr(first, path.find_last_not_of('/') - first + 1);
  std::vector<std::string> segments;
  std::size_t start = 0;
  for (;;) {
    const auto slash = path.find('/', start);
    std::string segment = _route_segment(path.substr(start, slash - start));
    if (!segment.empty()) segments.push_back(std::move(segment));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return segments;
}

}  // namespace

std::vector<std::string> tokenize_query(std::string_view text) {
  static const text::Regex TOKEN("[a-zA-Z0-9_]+");
  std::string valid;
  const std::string lowered = text::to_lower(text::valid_utf8(text, valid));
  std::vector<std::string> terms;
  std::unordered_set<std::string_view> emitted;
  TOKEN.for_each(lowered, [&](const text::RegexMatch& match) {
    const std::string_view run = match.group();
    if (run.size() >= 2 && !is_stop_word(run) && emitted.insert(run).second) {
      terms.emplace_back(run);
    }
    return true;
  });
  return terms;
}

std::string_view classify_intent(std::string_view query) {
  static const text::Regex ROUTE_TEST("\\b(GET|POST|PUT|DELETE|PATCH)\\s+/\\S+", text::IGNORECASE);
  std::string valid;
  if (ROUTE_TEST.search(text::valid_utf8(query, valid))) return "debug";
  const std::string q = text::to_lower(query);
  for (const auto& list : intent_phrase_lists()) {
    if (contains_any(q, list.phrases)) return list.intent;
  }
  return "general";
}

Route extract_route(std::string_view query) {
  static const text::Regex ROUTE_CAPTURE("\\b(GET|POST|PUT|DELETE|PATCH)\\s+(/[\\w/\\-{}:]+)",
                                         text::IGNORECASE);
  std::string valid;
  const auto match = ROUTE_CAPTURE.search(text::valid_utf8(query, valid));
  if (!match) return {};
  return Route{text::to_upper(match->group(1)), _route_segments(match->group(2))};
}

bool query_scoped_to_feature(std::string_view q) {
  static constexpr std::array<std::string_view, 8> FEATURE_AREAS = {
      "portal", "checkout", "invoice", "payment", "order", "restaurant", "customer", "admin"};
  return contains_any(q, FEATURE_AREAS);
}

}  // namespace plinthar::query
