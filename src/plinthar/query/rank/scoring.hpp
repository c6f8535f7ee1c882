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

#include <absl/container/flat_hash_set.h>

#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/id_set.hpp"
#include "plinthar/query/rank/query_analysis.hpp"
#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

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
  std::vector<text::MaskedText> term_patterns;  // views of `terms`: move, do not copy, a context
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

// Score of a node under a prepared query; may be negative.
std::int64_t score_node(const index::NodeRecord& node, const QueryContext& context);

// Score of `node` (a JSON object) under a prepared query; may be negative. Throws
// plinthar::Error as node_record does (`member "keywords": Expected list, got ...`) when
// "keywords" is not a list of strings or "summary" is not a string (null counts as absent
// for both).
std::int64_t score_node(const Json& node, const QueryContext& context);

// Same result as score_node(node, make_query_context(terms, query)).
std::int64_t score_node(const Json& node, const std::vector<std::string>& terms,
                        std::string_view query);

// Which files import button or badge components, looked for only when the query names
// a button or a badge. (How many edges each id takes part in is in the node records.)
struct EdgeCensus {
  bool button_query = false;
  bool badge_query = false;
  absl::flat_hash_set<std::string_view> button_consumers;
  absl::flat_hash_set<std::string_view> badge_consumers;
};

EdgeCensus count_edges(const std::vector<index::EdgeRecord>& edges, const QueryContext& context);

// The score that ranks a node: score_node plus the capability boost of its id and the
// bonuses of the edge census (degree, button and badge consumers).
std::int64_t node_rank_score(const index::NodeRecord& node, const QueryContext& context,
                             const CapabilityBoosts& caps, const EdgeCensus& census);

// The score that ranks an edge: term hits in its text, and bonuses for touching a chosen
// row (`chosen`) or a boosted file, and for being an import.
std::int64_t score_edge(const index::EdgeRecord& edge, const QueryContext& context,
                        const IdSet& chosen, const CapabilityBoosts& caps);

}  // namespace plinthar::query
