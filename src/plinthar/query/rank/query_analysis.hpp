#pragma once

// What a query asks for, derived before the graph is ranked: its search terms, the kind
// of work it names (intent), an explicit HTTP route, and whether it names a business
// feature area. All four operations are pure and accept any text.

#include <string>
#include <string_view>
#include <vector>

namespace plinthar::query {

// An HTTP method and path named in a query; both empty when the query names none.
struct Route {
  std::string method;                 // upper case, e.g. "POST"
  std::vector<std::string> segments;  // lower-case path pieces without "api" and placeholders
};

// A query may hold any bytes (it comes from the command line or the environment); the
// bytes that are not UTF-8 are left out of its analysis.

// Distinct lower-case search terms (ASCII letters, digits, "_"; two characters or more;
// no stop words) in order of first occurrence.
std::vector<std::string> tokenize_query(std::string_view text);

// One of "debug", "explain", "test", "refactor", "feature", "edit", "general"; the view
// refers to a string literal.
std::string_view classify_intent(std::string_view query);

// The first "METHOD /path" in the query, split into cleaned path segments.
Route extract_route(std::string_view query);

// True when the already lower-cased `q` mentions a business feature area ("order",
// "invoice", "admin", ...) anywhere, even inside a longer word.
bool query_scoped_to_feature(std::string_view q);

}  // namespace plinthar::query
