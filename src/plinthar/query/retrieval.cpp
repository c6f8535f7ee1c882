#include "plinthar/query/retrieval.hpp"

// One pass over the edges counts degrees and notes button/badge importers; one pass over
// the nodes scores them against a query context prepared once; a stable sort ranks the
// candidates, and the best node of each source file becomes a row. Views into the graph
// stand in for member texts wherever the member is a string, so nothing but the returned
// rows is copied.

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "plinthar/query/capability_index.hpp"
#include "plinthar/query/member_text.hpp"
#include "plinthar/query/query_analysis.hpp"
#include "plinthar/query/scoring.hpp"
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

const Json& empty_text() {
  static const Json EMPTY = "";
  return EMPTY;
}

// The graph's list member `key`; an empty list when missing.
const Json& graph_list(const Json& graph, std::string_view key) {
  static const Json EMPTY = Json::array();
  const Json* list = find_member(graph, key);
  if (list == nullptr) return EMPTY;
  if (!list->is_array()) throw Error("graph member \"" + std::string(key) + "\" is not a list");
  return *list;
}

void require_object(const Json& item, std::string_view what) {
  if (!item.is_object()) throw Error("graph " + std::string(what) + " is not an object");
}

// Orders two member values as stored: strings by code point (byte order of UTF-8),
// numbers and booleans by value; equal values tie. Any other pair has no order.
int compare_stored(const Json& a, const Json& b) {
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

// A scored node or edge with its sort keys. Keys that are strings (all of them in graphs
// the scanner writes) are also held as views, so most comparisons skip the JSON type checks.
struct Candidate {
  std::int64_t score;
  const Json* item;
  const Json* first_key;
  const Json* second_key;
  bool text_keys;
  std::string_view first_text;
  std::string_view second_text;
};

std::string_view string_or_empty(const Json& value) {
  return value.is_string() ? std::string_view(value.get_ref<const std::string&>()) : "";
}

Candidate make_candidate(std::int64_t score, const Json& item, const Json& first_key,
                         const Json& second_key) {
  return {score,
          &item,
          &first_key,
          &second_key,
          first_key.is_string() && second_key.is_string(),
          string_or_empty(first_key),
          string_or_empty(second_key)};
}

// Highest score first, then keys ascending; used with a stable sort.
bool ranks_before(const Candidate& a, const Candidate& b) {
  if (a.score != b.score) return a.score > b.score;
  if (a.text_keys && b.text_keys) {
    const int first = a.first_text.compare(b.first_text);
    return first != 0 ? first < 0 : a.second_text < b.second_text;
  }
  const int first = compare_stored(*a.first_key, *b.first_key);
  if (first != 0) return first < 0;
  return compare_stored(*a.second_key, *b.second_key) < 0;
}

const Json& stored_or_empty(const Json& map, std::string_view key) {
  const Json* value = find_member(map, key);
  return value != nullptr ? *value : empty_text();
}

// Number of leading entries that "the first n" takes from a list of `size`: negative n
// leaves off the last |n|.
std::size_t take_count(std::size_t size, std::int64_t n) {
  const auto length = static_cast<std::int64_t>(size);
  if (n >= 0) return static_cast<std::size_t>(std::min(n, length));
  return static_cast<std::size_t>(std::max<std::int64_t>(0, length + n));
}

std::vector<Json> first_entries(const Json& list, std::int64_t n) {
  const std::size_t count = take_count(list.size(), n);
  return std::vector<Json>(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(count));
}

struct Capabilities {
  std::unordered_map<std::string_view, std::int64_t> exact;
  std::vector<std::pair<std::string_view, std::int64_t>> prefixes;  // without a final "*"
};

Capabilities index_boosts(const FileBoosts& boosts) {
  Capabilities caps;
  for (const auto& [key, boost] : boosts) {
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
  const auto exact = caps.exact.find(node_id);
  std::int64_t boost = exact != caps.exact.end() ? exact->second : 0;
  for (const auto& [prefix, prefix_boost] : caps.prefixes) {
    if (node_id.starts_with(prefix)) boost += prefix_boost;
  }
  return boost;
}

struct EdgeCensus {
  std::unordered_map<std::string_view, std::int64_t> degree;
  std::unordered_set<std::string_view> button_consumers;
  std::unordered_set<std::string_view> badge_consumers;
};

EdgeCensus count_edges(const Json& edges, TextPool& pool) {
  EdgeCensus census;
  for (const Json& edge : edges) {
    require_object(edge, "edge");
    const std::string_view from = pool.member_text(edge, "from");
    const std::string_view to = pool.member_text(edge, "to");
    ++census.degree[from];
    ++census.degree[to];
    if (pool.member_text(edge, "rel") != "imports") continue;
    const std::string to_lower = scanner::to_lower(to);
    if (contains(to_lower, "button")) census.button_consumers.insert(from);
    if (contains(to_lower, "badge")) census.badge_consumers.insert(from);
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

std::vector<Candidate> score_nodes(const Json& nodes, const QueryContext& context,
                                   const Capabilities& caps, const EdgeCensus& census,
                                   TextPool& pool) {
  std::vector<Candidate> scored;
  for (const Json& node : nodes) {
    require_object(node, "node");
    const std::string_view node_id = pool.member_text(node, "id");
    const std::int64_t s = score_node(node, context) + capability_boost(node_id, caps) +
                           census_bonus(node_id, census, context.q);
    if (s > 0) scored.push_back(make_candidate(s, node, stored_or_empty(node, "id"), empty_text()));
  }
  return scored;
}

// Ids of the chosen rows as stored; strings are hashed, other values compared as JSON.
class IdSet {
 public:
  void insert(const Json& id) {
    if (id.is_string()) {
      strings_.insert(id.get_ref<const std::string&>());
    } else {
      others_.push_back(&id);
    }
  }
  bool contains(const Json& id) const {
    if (id.is_string()) return strings_.contains(id.get_ref<const std::string&>());
    return std::any_of(others_.begin(), others_.end(), [&id](const Json* o) { return *o == id; });
  }

 private:
  std::unordered_set<std::string_view> strings_;
  std::vector<const Json*> others_;
};

Json make_row(const Json& node, std::int64_t score, std::string_view intent) {
  Json row = Json::object();
  for (auto member = node.begin(); member != node.end(); ++member) {
    if (member.key() != "content") row[member.key()] = member.value();
  }
  std::string id_storage;
  std::string ext_storage;
  row["_score"] = score;
  row["_role"] =
      node_role(member_text(node, "id", id_storage), member_text(node, "ext", ext_storage));
  row["_intent"] = intent;
  return row;
}

// The base file of a node: symbols share the place of the file that defines them.
std::string_view file_base(const Json& node, std::string_view node_id, TextPool& pool) {
  if (pool.member_text(node, "kind", "file") != "symbol") return node_id;
  return node_id.substr(0, node_id.find("::"));
}

struct ChosenFiles {
  std::vector<Json> rows;
  IdSet ids;
};

ChosenFiles choose_files(const std::vector<Candidate>& ranked, std::int64_t top_files,
                         std::string_view intent, TextPool& pool) {
  ChosenFiles chosen;
  std::unordered_set<std::string_view> seen_file_bases;
  for (const auto& candidate : ranked) {
    if (static_cast<std::int64_t>(chosen.rows.size()) >= top_files) break;
    const Json& node = *candidate.item;
    const std::string_view base = file_base(node, pool.member_text(node, "id"), pool);
    if (!seen_file_bases.insert(base).second) continue;
    chosen.rows.push_back(make_row(node, candidate.score, intent));
    chosen.ids.insert(*candidate.first_key);
  }
  return chosen;
}

std::int64_t score_edge(const Json& edge, const std::vector<std::string>& terms,
                        const IdSet& chosen_ids, const Capabilities& caps) {
  std::string storage;
  const std::string rel(member_text(edge, "rel", storage));
  std::int64_t s = 0;
  if (!terms.empty()) {
    std::string blob(member_text(edge, "from", storage));
    blob += ' ';
    blob += rel;
    blob += ' ';
    blob += member_text(edge, "to", storage);
    s = score_text(blob, terms) * EDGE_TEXT_WEIGHT;
  }
  const Json* from = find_member(edge, "from");
  const Json* to = find_member(edge, "to");
  const auto touches = [from, to](const auto& matches) {
    return (from != nullptr && matches(*from)) || (to != nullptr && matches(*to));
  };
  if (touches([&](const Json& end) { return chosen_ids.contains(end); })) {
    s += EDGE_CHOSEN_FILE_BONUS;
  }
  if (touches([&](const Json& end) {
        return end.is_string() && caps.exact.contains(end.get_ref<const std::string&>());
      })) {
    s += EDGE_CAPABILITY_BONUS;
  }
  if (rel == "imports") s += IMPORTS_EDGE_BONUS;
  return s;
}

std::vector<Json> choose_edges(const Json& edges, std::int64_t top_edges,
                               const std::vector<std::string>& terms, const IdSet& chosen_ids,
                               const Capabilities& caps) {
  std::vector<Candidate> scored;
  for (const Json& edge : edges) {
    const std::int64_t s = score_edge(edge, terms, chosen_ids, caps);
    if (s > 0) {
      scored.push_back(
          make_candidate(s, edge, stored_or_empty(edge, "from"), stored_or_empty(edge, "to")));
    }
  }
  std::stable_sort(scored.begin(), scored.end(), ranks_before);
  std::vector<Json> chosen;
  const std::size_t count = take_count(scored.size(), top_edges);
  chosen.reserve(count);
  for (std::size_t i = 0; i < count; ++i) chosen.push_back(*scored[i].item);
  return chosen;
}

}  // namespace

RetrieveResult retrieve(const Json& graph, std::string_view query, std::int64_t top_files,
                        std::int64_t top_edges, const std::filesystem::path& capability_index) {
  if (!graph.is_object()) throw Error("graph is not a JSON object");
  const QueryContext context = make_query_context(tokenize_query(query), query);
  const FileBoosts boosts =
      capability_file_boosts(context.terms, load_capability_index(capability_index));
  const Capabilities caps = index_boosts(boosts);

  const Json& nodes = graph_list(graph, "nodes");
  const Json& edges = graph_list(graph, "edges");
  TextPool pool;
  const EdgeCensus census = count_edges(edges, pool);

  std::vector<Candidate> ranked = score_nodes(nodes, context, caps, census, pool);
  std::stable_sort(ranked.begin(), ranked.end(), ranks_before);
  ChosenFiles chosen = choose_files(ranked, top_files, context.intent, pool);

  RetrieveResult result;
  result.edges = choose_edges(edges, top_edges, context.terms, chosen.ids, caps);
  result.files = std::move(chosen.rows);
  if (result.files.empty()) {
    result.files = first_entries(nodes, top_files);
    result.files_are_first_nodes = true;
  }
  if (result.edges.empty()) result.edges = first_entries(edges, top_edges);
  return result;
}

}  // namespace plinthar::query
