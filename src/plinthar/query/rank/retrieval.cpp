#include "plinthar/query/rank/retrieval.hpp"

// The records come prepared (lower-cased texts with their character sets, degrees). One
// pass over the nodes scores them against a query context worked out once (scoring.cpp
// holds every weight); the candidates are put in order as far as they are read, and the
// best node of each source file becomes a row. Ranking reads only the member texts of
// the records; whole records are fetched for the chosen few.

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

#include <absl/container/flat_hash_set.h>

#include "plinthar/error.hpp"
#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/id_set.hpp"
#include "plinthar/query/rank/query_analysis.hpp"
#include "plinthar/query/rank/scoring.hpp"
#include "plinthar/query/rank/sorted_on_demand.hpp"
#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/unicode.hpp"

namespace plinthar::query {

namespace {

// Orders two member values as stored: strings by code point (byte order of UTF-8),
// numbers and booleans by value; equal values tie. Any other pair has no order.
int compare_values(const text::Json& a, const text::Json& b) {
  if (a.is_string() && b.is_string()) {
    const int order = a.get_ref<const std::string&>().compare(b.get_ref<const std::string&>());
    return (order > 0) - (order < 0);
  }
  if (a == b) return 0;
  const auto numeric = [](const text::Json& v) {
    return v.is_boolean() ? text::Json(v.get<bool>() ? 1 : 0) : v;
  };
  if ((a.is_number() || a.is_boolean()) && (b.is_number() || b.is_boolean())) {
    const text::Json x = numeric(a);
    const text::Json y = numeric(b);
    return x < y ? -1 : (y < x ? 1 : 0);
  }
  throw Error("cannot order graph ids " + text::to_compact(a) + " and " + text::to_compact(b));
}

// Orders two members as stored, a missing one as "". Strings (all of them in graphs the
// scanner writes) compare as views without building JSON values.
int compare_stored(const index::StoredMember& a, const index::StoredMember& b) {
  if (a.value == nullptr && b.value == nullptr) {
    const int order = a.text.compare(b.text);
    return (order > 0) - (order < 0);
  }
  const auto as_json = [](const index::StoredMember& m) {
    return m.value != nullptr ? *m.value : text::Json(std::string(m.text));
  };
  return compare_values(as_json(a), as_json(b));
}

// A scored node or edge (by its index) with its sort keys.
struct Candidate {
  std::int64_t score;
  std::size_t index;
  const index::StoredMember* first_key;
  const index::StoredMember* second_key;
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

const index::StoredMember NO_MEMBER{};

std::vector<Candidate> score_nodes(const std::vector<index::NodeRecord>& nodes,
                                   const QueryContext& context, const CapabilityBoosts& caps,
                                   const EdgeCensus& census) {
  std::vector<Candidate> scored;
  scored.reserve(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const index::NodeRecord& node = nodes[i];
    const std::int64_t s = node_rank_score(node, context, caps, census);
    if (s > 0) scored.push_back({s, i, &node.id, &NO_MEMBER});
  }
  return scored;
}

// The base file of a node: symbols share the place of the file that defines them.
std::string_view file_base(const index::NodeRecord& node) {
  if (node.kind != "symbol") return node.id.text;
  return node.id.text.substr(0, node.id.text.find("::"));
}

struct ChosenFiles {
  std::vector<text::Json> rows;
  IdSet ids;
};

ChosenFiles choose_files(const index::GraphRecords& graph, Ranked& ranked, std::int64_t top_files,
                         std::string_view intent) {
  ChosenFiles chosen;
  absl::flat_hash_set<std::string_view> seen_file_bases;
  for (std::size_t i = 0; i < ranked.size(); ++i) {
    if (static_cast<std::int64_t>(chosen.rows.size()) >= top_files) break;
    const Candidate& candidate = ranked[i];
    const index::NodeRecord& node = graph.nodes[candidate.index];
    if (!seen_file_bases.insert(file_base(node)).second) continue;
    const std::string_view role = node_role(node.id.text, node.ext);
    chosen.rows.push_back(
        result_row(graph.node_value(candidate.index), candidate.score, role, intent));
    chosen.ids.insert(node.id);
  }
  return chosen;
}

std::vector<text::Json> choose_edges(const index::GraphRecords& graph, std::int64_t top_edges,
                                     const QueryContext& context, const IdSet& chosen_ids,
                                     const CapabilityBoosts& caps) {
  std::vector<Candidate> scored;
  for (std::size_t i = 0; i < graph.edges.size(); ++i) {
    const index::EdgeRecord& edge = graph.edges[i];
    const std::int64_t s = score_edge(edge, context, chosen_ids, caps);
    if (s > 0) scored.push_back({s, i, &edge.from, &edge.to});
  }
  Ranked ranked = rank_candidates(std::move(scored));
  std::vector<text::Json> chosen;
  const std::size_t count = take_count(ranked.size(), top_edges);
  chosen.reserve(count);
  for (std::size_t i = 0; i < count; ++i) chosen.push_back(graph.edge_value(ranked[i].index));
  return chosen;
}

CapabilityBoosts query_capabilities(const QueryContext& context,
                                    const std::filesystem::path& capability_index) {
  return index_boosts(
      capability_file_boosts(context.terms, load_capability_index(capability_index)));
}

RetrieveResult rank(const index::GraphRecords& graph, const QueryContext& context,
                    const CapabilityBoosts& caps, std::int64_t top_files, std::int64_t top_edges) {
  const EdgeCensus census = count_edges(graph.edges, context);
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

std::size_t take_count(std::size_t size, std::int64_t n) {
  const auto length = static_cast<std::int64_t>(size);
  if (n >= 0) return static_cast<std::size_t>(std::min(n, length));
  return static_cast<std::size_t>(std::max<std::int64_t>(0, length + n));
}

std::vector<text::Json> first_entries(std::size_t size, std::int64_t n,
                                      const std::function<text::Json(std::size_t)>& value_at) {
  const std::size_t count = take_count(size, n);
  std::vector<text::Json> entries;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) entries.push_back(value_at(i));
  return entries;
}

text::Json result_row(const text::Json& node, std::int64_t score, std::string_view role,
                      std::string_view intent) {
  text::Json row = text::Json::object();
  for (auto member = node.begin(); member != node.end(); ++member) {
    if (member.key() != "content") row[member.key()] = member.value();
  }
  row["_score"] = score;
  row["_role"] = role;
  row["_intent"] = intent;
  return row;
}

RetrieveResult retrieve(const index::GraphRecords& graph, std::string_view query,
                        std::int64_t top_files, std::int64_t top_edges,
                        const std::filesystem::path& capability_index) {
  const QueryContext context = make_query_context(tokenize_query(query), query);
  const CapabilityBoosts caps = query_capabilities(context, capability_index);
  return rank(graph, context, caps, top_files, top_edges);
}

RetrieveResult retrieve(const text::Json& graph, std::string_view query, std::int64_t top_files,
                        std::int64_t top_edges, const std::filesystem::path& capability_index) {
  if (!graph.is_object()) throw Error("graph is not a JSON object");
  const QueryContext context = make_query_context(tokenize_query(query), query);
  const CapabilityBoosts caps = query_capabilities(context, capability_index);
  index::GraphRecords records = records_of(graph);
  index::prepare_records(records);
  return rank(records, context, caps, top_files, top_edges);
}

}  // namespace plinthar::query
