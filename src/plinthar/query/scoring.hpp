#pragma once

// Integer relevance of one graph node to a query: term hits in the node's id, summary and
// keywords, a match against an HTTP route named in the query, how well the node's role
// suits the query's intent, and fixed boosts and penalties for file types, dependency
// directories and a few front-end feature areas.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/query/char_mask.hpp"
#include "plinthar/query/graph_records.hpp"
#include "plinthar/query/query_analysis.hpp"
#include "plinthar/scanner/json_format.hpp"

namespace plinthar::query {

using scanner::Json;

// Number of entries of `terms` found in the lower-cased `text`; each entry counts once,
// duplicate entries each count.
std::int64_t score_text(std::string_view text, const std::vector<std::string>& terms);

// One of "docs", "test", "shared_ui", "ui_surface", "logic", "code". `ext` is compared
// exactly (callers pass it lower-cased); `path` is lower-cased here.
std::string_view node_role(std::string_view path, std::string_view ext);

// Weight of `role` under `intent`; unknown intents use the "general" row, unknown roles 0.
std::int64_t intent_role_weight(std::string_view intent, std::string_view role);

// Everything node scoring needs that depends only on the query, worked out once per query
// instead of once per node.
struct QueryContext {
  std::vector<std::string> terms;
  std::vector<MaskedText> term_patterns;  // views of `terms`: move, do not copy, a context
  std::string_view intent;
  std::string q;  // the query lower-cased
  Route route;
  std::string route_method_lower;
  bool ui_query = false;          // names a UI element ("button", "modal", "page" ...)
  bool button_status = false;     // names a button and a status-like area
  bool design_system = false;     // asks for shared or reusable components
  bool feature_scoped = false;    // names a business feature area
  bool payment_query = false;     // names payment, invoice or checkout
  std::array<bool, 3> portals{};  // names the restaurant, customer, admin portal
};

// Analyses `query` once; `terms` are the search terms to count (normally
// tokenize_query(query)).
QueryContext make_query_context(std::vector<std::string> terms, std::string_view query);

// score_text(text, context.terms), with the prepared terms.
std::int64_t term_hits(std::string_view text, const QueryContext& context);

// Score of a node under a prepared query; may be negative.
std::int64_t score_node(const NodeRecord& node, const QueryContext& context);

// Score of `node` (a JSON object) under a prepared query; may be negative. Throws
// plinthar::Error "Expected list, got ..." / "Expected str, got ..." when "keywords" is
// not a list of strings or "summary" is not a string (null counts as absent for both).
std::int64_t score_node(const Json& node, const QueryContext& context);

// Same result as score_node(node, make_query_context(terms, query)).
std::int64_t score_node(const Json& node, const std::vector<std::string>& terms,
                        std::string_view query);

}  // namespace plinthar::query
