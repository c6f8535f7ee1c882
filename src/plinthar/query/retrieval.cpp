#include "plinthar/query/retrieval.hpp"

// One pass over the edges counts degrees and notes button/badge importers; one pass over
// the nodes scores them against a query context prepared once; a stable sort ranks the
// candidates, and the best node of each source file becomes a row. Ranking reads only
// the member texts of the records; whole records are fetched for the chosen few.

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include "plinthar/query/capability_index.hpp"
#include "plinthar/query/lowering.hpp"
#include "plinthar/query/query_analysis.hpp"
#include "plinthar/query/scoring.hpp"
#include "plinthar/query/sorted_on_demand.hpp"
#include "plinthar/scanner/error.hpp"
#include "plinthar/scanner/text.hpp"

namespace plinthar::query {
namespace {

using scanner::contains;

constexpr std::int64_t DEGREE_DIVISOR = 3;
constexpr std::int64_t DEGREE_BONUS_CAP = 4;
constexpr std::int64_t BUTTON_CONSUMER_BONUS = 6;
constexpr std::int64_t BADGE_WITHOUT_BADGE_QUERY_PENALTY = 2;
constexpr std::int64_t BADGE_CONSUMER_BONUS = 4;
constexpr std::int64_t EDGE_TEXT_WEIGHT = 2;
constexpr std::int64_t EDGE_CHOSEN_FILE_BONUS = 4;
constexpr std::int64_t EDGE_CAPABILITY_BONUS = 2;
constexpr std::int64_t IMPORTS_EDGE_BONUS = 1;

// Orders two member values as stored: strings by code point (byte order of UTF-8),
// numbers and booleans by value; equal values tie. Any other pair has no order.
int compare_values(const Json& a, const Json& b) {
  if (a.is_string() && b.is_string()) {
    const int order = a.get_ref<const std::string&>().compare(b.get_ref<const std::string&>());
    return (order > 0) - (order < 0);
  }
  if (a == b) return 0;
  const auto numeric = [](const Json& v) {
    return v.is_boolean() ? Json(v.get<bool>() ? 1 : 0) : v;
  };
  if ((a.is_number() || a.is_boolean()) && (b.is_number() || b.is_boolean())) {
    const Json x = numeric(a);
    const Json y = numeric(b);
    return x < y ? -1 : (y < x ? 1 : 0);
  }
  throw Error("cannot order graph ids " + scanner::to_compact(a) + " and " +
              scanner::to_compact(b));
}

// Orders two members as stored, a missing one as "". Strings (all of them in graphs the
// scanner writes) compare as views without building JSON values.
int compare_stored(const StoredMember& a, const StoredMember& b) {
  if (a.value == nullptr && b.value == nullptr) {
    const int order = a.text.compare(b.text);
    return (order > 0) - (order < 0);
  }
  const auto as_json = [](const StoredMember& m) {
    return m.value != nullptr ? *m.value : Json(std::string(m.text));
  };
  return compare_values(as_json(a), as_json(b));
}

// A scored node or edge (by its index) with its sort keys.
struct Candidate {
  std::int64_t score;
  std::size_t index;
  const StoredMember* first_key;
  const StoredMember* second_key;
};

// Highest score first, then keys ascending, then graph order: what a stable sort by
// score and keys gives.
bool ranks_before(const Candidate& a, const Candidate& b) {
  if (a.score != b.score) return a.score > b.score;
  const int first = compare_stored(*a.first_key, *b.first_key);
  if (first != 0) return first < 0;
  const int second = compare_stored(*a.second_key, *b.second_key);
  if (second != 0) return second < 0;
  return a.index < b.index;
}

using Ranked = SortedOnDemand<Candidate, bool (*)(const Candidate&, const Candidate&)>;

// Candidates in rank order. Keys of other types than strings (hand-made graphs) are all
// compared up front, so ids that cannot be ordered fail the same way however many
// candidates are read.
Ranked rank_candidates(std::vector<Candidate> candidates) {
  const bool text_keys = std::all_of(candidates.begin(), candidates.end(), [](const Candidate& c) {
    return c.first_key->value == nullptr && c.second_key->value == nullptr;
  });
  if (!text_keys) std::stable_sort(candidates.begin(), candidates.end(), ranks_before);
  return Ranked(std::move(candidates), ranks_before);
}

const StoredMember NO_MEMBER{};

// Number of leading entries that "the first n" takes from a list of `size`: negative n
// leaves off the last |n|.
std::size_t take_count(std::size_t size, std::int64_t n) {
  const auto length = static_cast<std::int64_t>(size);
  if (n >= 0) return static_cast<std::size_t>(std::min(n, length));
  return static_cast<std::size_t>(std::max<std::int64_t>(0, length + n));
}

std::vector<Json> first_entries(std::size_t size, std::int64_t n,
                                const std::function<Json(std::size_t)>& value_at) {
  const std::size_t count = take_count(size, n);
  std::vector<Json> entries;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) entries.push_back(value_at(i));
  return entries;
}

struct Capabilities {
  FileBoosts boosts;  // what the views below point into
  absl::flat_hash_map<std::string_view, std::int64_t> exact;
  std::vector<std::pair<std::string_view, std::int64_t>> prefixes;  // without a final "*"
};

Capabilities index_boosts(FileBoosts boosts) {
  Capabilities caps;
  caps.boosts = std::move(boosts);
  for (const auto& [key, boost] : caps.boosts) {
    caps.exact.emplace(key, boost);
    const std::string_view view = key;
    if (view.ends_with('/')) {
      caps.prefixes.emplace_back(view, boost);
    } else if (view.ends_with('*')) {
      caps.prefixes.emplace_back(view.substr(0, view.size() - 1), boost);
    }
  }
  return caps;
}

std::int64_t capability_boost(std::string_view node_id, const Capabilities& caps) {
  if (caps.exact.empty()) return 0;
  const auto exact = caps.exact.find(node_id);
  std::int64_t boost = exact != caps.exact.end() ? exact->second : 0;
  for (const auto& [prefix, prefix_boost] : caps.prefixes) {
    if (node_id.starts_with(prefix)) boost += prefix_boost;
  }
  return boost;
}

struct EdgeCensus {
  absl::flat_hash_map<std::string_view, std::int64_t> degree;
  absl::flat_hash_set<std::string_view> button_consumers;
  absl::flat_hash_set<std::string_view> badge_consumers;
};

EdgeCensus count_edges(const std::vector<EdgeRecord>& edges) {
  EdgeCensus census;
  std::string buffer;
  for (const EdgeRecord& edge : edges) {
    ++census.degree[edge.from.text];
    ++census.degree[edge.to.text];
    if (edge.rel != "imports") continue;
    const std::string_view to_lower = lowered(edge.to.text, buffer);
    if (contains(to_lower, "button")) census.button_consumers.insert(edge.from.text);
    if (contains(to_lower, "badge")) census.badge_consumers.insert(edge.from.text);
  }
  return census;
}

std::int64_t census_bonus(std::string_view node_id, const EdgeCensus& census, std::string_view q) {
  const auto degree = census.degree.find(node_id);
  std::int64_t bonus = degree == census.degree.end()
                           ? 0
                           : std::min(degree->second / DEGREE_DIVISOR, DEGREE_BONUS_CAP);
  const bool button_query = contains(q, "button");
  const bool badge_query = contains(q, "badge");
  if (button_query && census.button_consumers.contains(node_id)) bonus += BUTTON_CONSUMER_BONUS;
  if (button_query && !badge_query && census.badge_consumers.contains(node_id)) {
    bonus -= BADGE_WITHOUT_BADGE_QUERY_PENALTY;
  }
  if (badge_query && census.badge_consumers.contains(node_id)) bonus += BADGE_CONSUMER_BONUS;
  return bonus;
}

std::vector<Candidate> score_nodes(const std::vector<NodeRecord>& nodes,
                                   const QueryContext& context, const Capabilities& caps,
                                   const EdgeCensus& census) {
  std::vector<Candidate> scored;
  scored.reserve(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const NodeRecord& node = nodes[i];
    const std::string_view node_id = node.id.text;
    const std::int64_t s = score_node(node, context) + capability_boost(node_id, caps) +
                           census_bonus(node_id, census, context.q);
    if (s > 0) scored.push_back({s, i, &node.id, &NO_MEMBER});
  }
  return scored;
}

// Ids of the chosen rows as stored, a missing id as ""; strings are hashed, other
// values compared as JSON. A missing edge end matches none of them.
// Every edge end is looked up, and there are usually a dozen ids: those few are compared
// directly, which spares hashing every end; larger sets are hashed.
class IdSet {
 public:
  void insert(const StoredMember& id) {
    if (id.value != nullptr) {
      others_.push_back(id.value);
      return;
    }
    listed_.push_back(id.text);
    if (listed_.size() == LINEAR_LIMIT + 1) {
      hashed_.insert(listed_.begin(), listed_.end());
    } else if (listed_.size() > LINEAR_LIMIT + 1) {
      hashed_.insert(id.text);
    }
  }
  bool contains(const StoredMember& end) const {
    if (!end.present) return false;
    if (end.value == nullptr) {
      if (listed_.size() > LINEAR_LIMIT) return hashed_.contains(end.text);
      return std::find(listed_.begin(), listed_.end(), end.text) != listed_.end();
    }
    return std::any_of(others_.begin(), others_.end(),
                       [&end](const Json* o) { return *o == *end.value; });
  }

 private:
  static constexpr std::size_t LINEAR_LIMIT = 32;
  std::vector<std::string_view> listed_;
  absl::flat_hash_set<std::string_view> hashed_;
  std::vector<const Json*> others_;
};

Json make_row(const Json& node, std::int64_t score, std::string_view role,
              std::string_view intent) {
  Json row = Json::object();
  for (auto member = node.begin(); member != node.end(); ++member) {
    if (member.key() != "content") row[member.key()] = member.value();
  }
  row["_score"] = score;
  row["_role"] = role;
  row["_intent"] = intent;
  return row;
}

// The base file of a node: symbols share the place of the file that defines them.
std::string_view file_base(const NodeRecord& node) {
  if (node.kind != "symbol") return node.id.text;
  return node.id.text.substr(0, node.id.text.find("::"));
}

struct ChosenFiles {
  std::vector<Json> rows;
  IdSet ids;
};

ChosenFiles choose_files(const GraphRecords& graph, Ranked& ranked, std::int64_t top_files,
                         std::string_view intent) {
  ChosenFiles chosen;
  absl::flat_hash_set<std::string_view> seen_file_bases;
  for (std::size_t i = 0; i < ranked.size(); ++i) {
    if (static_cast<std::int64_t>(chosen.rows.size()) >= top_files) break;
    const Candidate& candidate = ranked[i];
    const NodeRecord& node = graph.nodes[candidate.index];
    if (!seen_file_bases.insert(file_base(node)).second) continue;
    const std::string_view role = node_role(node.id.text, node.ext);
    chosen.rows.push_back(
        make_row(graph.node_value(candidate.index), candidate.score, role, intent));
    chosen.ids.insert(node.id);
  }
  return chosen;
}

std::int64_t score_edge(const EdgeRecord& edge, const QueryContext& context,
                        const IdSet& chosen_ids, const Capabilities& caps, std::string& blob) {
  std::int64_t s = 0;
  if (!context.terms.empty()) {
    blob.assign(edge.from.text);
    blob += ' ';
    blob += edge.rel;
    blob += ' ';
    blob += edge.to.text;
    s = term_hits(blob, context) * EDGE_TEXT_WEIGHT;
  }
  const auto touches = [&edge](const auto& matches) {
    return matches(edge.from) || matches(edge.to);
  };
  if (touches([&](const StoredMember& end) { return chosen_ids.contains(end); })) {
    s += EDGE_CHOSEN_FILE_BONUS;
  }
  if (touches([&](const StoredMember& end) {
        return end.present && end.value == nullptr && !caps.exact.empty() &&
               caps.exact.contains(end.text);
      })) {
    s += EDGE_CAPABILITY_BONUS;
  }
  if (edge.rel == "imports") s += IMPORTS_EDGE_BONUS;
  return s;
}

std::vector<Json> choose_edges(const GraphRecords& graph, std::int64_t top_edges,
                               const QueryContext& context, const IdSet& chosen_ids,
                               const Capabilities& caps) {
  std::vector<Candidate> scored;
  std::string blob;
  for (std::size_t i = 0; i < graph.edges.size(); ++i) {
    const EdgeRecord& edge = graph.edges[i];
    const std::int64_t s = score_edge(edge, context, chosen_ids, caps, blob);
    if (s > 0) scored.push_back({s, i, &edge.from, &edge.to});
  }
  Ranked ranked = rank_candidates(std::move(scored));
  std::vector<Json> chosen;
  const std::size_t count = take_count(ranked.size(), top_edges);
  chosen.reserve(count);
  for (std::size_t i = 0; i < count; ++i) chosen.push_back(graph.edge_value(ranked[i].index));
  return chosen;
}

Capabilities query_capabilities(const QueryContext& context,
                                const std::filesystem::path& capability_index) {
  return index_boosts(
      capability_file_boosts(context.terms, load_capability_index(capability_index)));
}

RetrieveResult rank(const GraphRecords& graph, const QueryContext& context,
                    const Capabilities& caps, std::int64_t top_files, std::int64_t top_edges) {
  const EdgeCensus census = count_edges(graph.edges);
  Ranked ranked = rank_candidates(score_nodes(graph.nodes, context, caps, census));
  ChosenFiles chosen = choose_files(graph, ranked, top_files, context.intent);

  RetrieveResult result;
  result.edges = choose_edges(graph, top_edges, context, chosen.ids, caps);
  result.files = std::move(chosen.rows);
  if (result.files.empty()) {
    result.files = first_entries(graph.nodes.size(), top_files, graph.node_value);
  }
  if (result.edges.empty()) {
    result.edges = first_entries(graph.edges.size(), top_edges, graph.edge_value);
  }
  return result;
}

}  // namespace

RetrieveResult retrieve(const GraphRecords& graph, std::string_view query, std::int64_t top_files,
                        std::int64_t top_edges, const std::filesystem::path& capability_index) {
  const QueryContext context = make_query_context(tokenize_query(query), query);
  const Capabilities caps = query_capabilities(context, capability_index);
  return rank(graph, context, caps, top_files, top_edges);
}

RetrieveResult retrieve(const Json& graph, std::string_view query, std::int64_t top_files,
                        std::int64_t top_edges, const std::filesystem::path& capability_index) {
  if (!graph.is_object()) throw Error("graph is not a JSON object");
  const QueryContext context = make_query_context(tokenize_query(query), query);
  const Capabilities caps = query_capabilities(context, capability_index);
  return rank(records_of(graph), context, caps, top_files, top_edges);
}

}  // namespace plinthar::query
