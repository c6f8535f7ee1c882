#include "plinthar/query/rank/scoring.hpp"

#include <algorithm>
#include <span>
#include <utility>

#include "plinthar/query/rank/directory_markers.hpp"
#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/text_arena.hpp"
#include "plinthar/text/unicode.hpp"

namespace plinthar::query {

namespace {

using Words = std::span<const std::string_view>;
using Patterns = std::span<const text::MaskedText>;

bool contains_any(std::string_view text, Words words) {
  return std::any_of(words.begin(), words.end(),
                     [text](std::string_view word) { return text::contains(text, word); });
}

bool contains_any(const text::MaskedText& text, Patterns words) {
  return std::any_of(words.begin(), words.end(),
                     [&text](const text::MaskedText& word) { return text.contains(word); });
}

bool ends_with_any(std::string_view text, Words words) {
  return std::any_of(words.begin(), words.end(),
                     [text](std::string_view word) { return text.ends_with(word); });
}

// Bonuses from the edges of the graph.
constexpr std::int64_t DEGREE_DIVISOR = 3;
constexpr std::int64_t DEGREE_BONUS_CAP = 4;
constexpr std::int64_t BUTTON_CONSUMER_BONUS = 6;
constexpr std::int64_t BADGE_WITHOUT_BADGE_QUERY_PENALTY = 2;
constexpr std::int64_t BADGE_CONSUMER_BONUS = 4;

// Weights of an edge.
constexpr std::int64_t EDGE_TEXT_WEIGHT = 2;
constexpr std::int64_t EDGE_CHOSEN_FILE_BONUS = 4;
constexpr std::int64_t EDGE_CAPABILITY_BONUS = 2;
constexpr std::int64_t IMPORTS_EDGE_BONUS = 1;

// Directory markers, by the lists they belong to.
using enum DirectoryMarker;
constexpr auto UI_SURFACE_DIRS = {pages, components_features, views, screens};
constexpr auto LOGIC_DIRS = {api, services, store, hooks, utils};
constexpr auto TEST_DIRS = {test, tests};
constexpr auto FEATURE_PAGE_DIRS = {components_features, pages, api};
constexpr auto VENV_DIRS = {venv, dot_venv};
constexpr std::string_view TEST_SUFFIXES[] = {".test.ts", ".spec.ts", ".test.tsx", ".spec.tsx"};
constexpr std::string_view SOURCE_EXTS[] = {".py", ".ts", ".tsx", ".js", ".jsx", ".go"};
constexpr text::MaskedText PACKAGE_DIRS[] = {"node_modules/", "site-packages/"};
constexpr std::string_view PAYMENT_QUERY_WORDS[] = {"payment", "invoice", "checkout"};
constexpr text::MaskedText PAYMENT_PATH_WORDS[] = {"payment", "invoice", "checkout", "order"};
constexpr std::string_view UI_QUERY_WORDS[] = {"button", "modal", "card", "table",
                                               "form",   "badge", "page", "screen"};
constexpr text::MaskedText COMPONENT_PATH_WORDS[] = {"card",  "modal",  "details", "list",
                                                     "table", "orders", "checkout"};
constexpr std::string_view STATUS_QUERY_WORDS[] = {"status", "payment", "checkout", "invoice"};
constexpr text::MaskedText DETAIL_PATH_WORDS[] = {"card", "modal", "detail"};
constexpr text::MaskedText LIST_PATH_WORDS[] = {"list", "table"};
constexpr std::string_view DESIGN_SYSTEM_WORDS[] = {"global", "shared", "design system",
                                                    "reusable"};
constexpr std::string_view DOCS_PENALISED_INTENTS[] = {"edit", "feature", "debug", "refactor"};

struct PortalPair {
  std::string_view query_word;
  std::string_view path_marker;
};
constexpr std::array<PortalPair, 3> PORTALS = {{{"restaurant", "restaurant-portal/"},
                                                {"customer", "customer-portal/"},
                                                {"admin", "admin-portal/"}}};

// Columns in this order: ui_surface, logic, shared_ui, code, docs, test.
constexpr std::array<std::string_view, 6> ROLE_COLUMNS = {"ui_surface", "logic", "shared_ui",
                                                          "code",       "docs",  "test"};
struct IntentRow {
  std::string_view intent;
  std::array<std::int64_t, 6> weights;
};
constexpr std::array<IntentRow, 7> INTENT_ROWS = {{{"edit", {3, 3, 1, 2, -2, 1}},
                                                   {"feature", {3, 4, 1, 2, -2, 1}},
                                                   {"debug", {2, 4, 0, 2, -2, 2}},
                                                   {"refactor", {2, 3, 1, 3, -2, 2}},
                                                   {"test", {1, 2, 0, 1, -2, 5}},
                                                   {"explain", {1, 2, 0, 1, 2, 0}},
                                                   {"general", {2, 2, 0, 1, -1, 0}}}};

// Hits of the terms in text that is already lower case.
std::int64_t count_hits(const text::MaskedText& lowered,
                        const std::vector<text::MaskedText>& terms) {
  return std::count_if(terms.begin(), terms.end(),
                       [&lowered](const text::MaskedText& term) { return lowered.contains(term); });
}

std::int64_t count_hits(std::string_view lowered, const std::vector<std::string>& terms) {
  return std::count_if(terms.begin(), terms.end(), [lowered](const std::string& term) {
    return text::contains(lowered, term);
  });
}

// A lower-cased path with its directory markers.
struct Path {
  text::MaskedText text;
  DirectoryMarkers dirs;

  explicit Path(const text::MaskedText& lowered)
      : text(lowered), dirs(DirectoryMarkers::of(lowered.text)) {}
};

std::string_view role_of_lowered(const Path& p, std::string_view ext) {
  if (ext == ".md") return "docs";
  if (p.dirs.any(TEST_DIRS) || ends_with_any(p.text.text, TEST_SUFFIXES)) return "test";
  if (p.dirs.any({components_ui})) return "shared_ui";
  if (p.dirs.any(UI_SURFACE_DIRS)) return "ui_surface";
  if (p.dirs.any(LOGIC_DIRS)) return "logic";
  return "code";
}

// Term hits in the id, summary and keywords.
std::int64_t term_score(const index::NodeRecord& node, const QueryContext& context) {
  if (context.terms.empty()) return 0;
  return count_hits(node.id_lower, context.term_patterns) * 3 +
         count_hits(node.summary_lower, context.term_patterns) * 3 +
         count_hits(node.keywords_lower, context.term_patterns) * 2;
}

// Terms found in an edge's text: its source, relation and target joined by spaces. No
// term holds a space, so a term is in that text exactly when it is in one of the three.
std::int64_t edge_term_hits(const index::EdgeRecord& edge, const QueryContext& context) {
  return std::count_if(context.term_patterns.begin(), context.term_patterns.end(),
                       [&edge](const text::MaskedText& term) {
                         return edge.from_lower.contains(term) || edge.rel_lower.contains(term) ||
                                edge.to_lower.contains(term);
                       });
}

std::int64_t route_score(std::string_view path, std::string_view keywords,
                         const QueryContext& context) {
  const auto& segments = context.route.segments;
  if (segments.empty()) return 0;
  std::string segment_text(keywords);
  segment_text += ' ';
  segment_text += path;
  const auto matches = std::count_if(segments.begin(), segments.end(), [&](const std::string& s) {
    return text::contains(segment_text, s);
  });
  std::int64_t score = matches * 4;
  if (!context.route_method_lower.empty() && text::contains(keywords, context.route_method_lower)) {
    score += 3;
  }
  return score;
}

std::int64_t ui_score(const Path& path, std::string_view role, const QueryContext& context) {
  if (!context.ui_query) return 0;
  std::int64_t score = 0;
  if (role == "ui_surface") score += 4;
  if (contains_any(path.text, COMPONENT_PATH_WORDS)) score += 3;
  if (context.button_status) {
    if (contains_any(path.text, DETAIL_PATH_WORDS)) score += 4;
    if (contains_any(path.text, LIST_PATH_WORDS) || path.dirs.any({pages})) score -= 3;
  }
  if (path.dirs.any({components_ui}) && context.feature_scoped && !context.design_system) {
    score -= 2;
  }
  return score;
}

// Boosts and penalties that depend on the path, extension and role.
std::int64_t path_score(const Path& path, std::string_view ext, std::string_view role,
                        const QueryContext& context) {
  std::int64_t score = 0;
  if (std::ranges::find(SOURCE_EXTS, ext) != std::end(SOURCE_EXTS)) {
    score += 4;
  } else if (ext == ".md") {
    score -= 2;
  }
  if (contains_any(path.text, PACKAGE_DIRS) || path.dirs.any(VENV_DIRS)) score -= 10;
  if (path.dirs.any({components_ui})) score -= 1;
  if (path.dirs.any(FEATURE_PAGE_DIRS)) score += 2;
  for (std::size_t i = 0; i < PORTALS.size(); ++i) {
    if (context.portals[i] && text::contains(path.text.text, PORTALS[i].path_marker)) score += 4;
  }
  if (context.payment_query && contains_any(path.text, PAYMENT_PATH_WORDS)) score += 3;
  score += ui_score(path, role, context);
  if (role == "docs" && std::ranges::find(DOCS_PENALISED_INTENTS, context.intent) !=
                            std::end(DOCS_PENALISED_INTENTS)) {
    score -= 3;
  }
  return score;
}

std::int64_t kind_score(const index::NodeRecord& node) {
  if (node.kind != "symbol") return 0;
  return node.confidence == "high" ? 5 : 3;
}

std::int64_t census_bonus(const index::NodeRecord& node, const EdgeCensus& census) {
  const std::string_view node_id = node.id.text;
  std::int64_t bonus = std::min(node.degree / DEGREE_DIVISOR, DEGREE_BONUS_CAP);
  if (census.button_query && census.button_consumers.contains(node_id)) {
    bonus += BUTTON_CONSUMER_BONUS;
  }
  if (census.button_query && !census.badge_query && census.badge_consumers.contains(node_id)) {
    bonus -= BADGE_WITHOUT_BADGE_QUERY_PENALTY;
  }
  if (census.badge_query && census.badge_consumers.contains(node_id)) {
    bonus += BADGE_CONSUMER_BONUS;
  }
  return bonus;
}

}  // namespace

std::int64_t score_text(std::string_view text, const std::vector<std::string>& terms) {
  if (terms.empty()) return 0;
  static thread_local std::string buffer;
  return count_hits(text::lowered(text, buffer), terms);
}

std::string_view node_role(std::string_view path, std::string_view ext) {
  const std::string lowered_path = text::to_lower(path);
  return role_of_lowered(Path(text::MaskedText(lowered_path)), ext);
}

std::int64_t intent_role_weight(std::string_view intent, std::string_view role) {
  const auto row = std::find_if(INTENT_ROWS.begin(), INTENT_ROWS.end(),
                                [intent](const IntentRow& r) { return r.intent == intent; });
  const auto& weights = row != INTENT_ROWS.end() ? row->weights : INTENT_ROWS.back().weights;
  const auto column = std::find(ROLE_COLUMNS.begin(), ROLE_COLUMNS.end(), role);
  return column == ROLE_COLUMNS.end() ? 0 : weights[column - ROLE_COLUMNS.begin()];
}

QueryContext make_query_context(std::vector<std::string> terms, std::string_view query) {
  QueryContext context;
  context.terms = std::move(terms);
  for (const std::string& term : context.terms) context.term_patterns.emplace_back(term);
  context.intent = classify_intent(query);
  context.q = text::to_lower(query);
  context.route = extract_route(query);
  context.route_method_lower = text::to_lower(context.route.method);
  const std::string_view q = context.q;
  context.ui_query = contains_any(q, UI_QUERY_WORDS);
  context.button_status = text::contains(q, "button") && contains_any(q, STATUS_QUERY_WORDS);
  context.design_system = contains_any(q, DESIGN_SYSTEM_WORDS);
  context.feature_scoped = query_scoped_to_feature(q);
  context.payment_query = contains_any(q, PAYMENT_QUERY_WORDS);
  for (std::size_t i = 0; i < PORTALS.size(); ++i) {
    context.portals[i] = text::contains(q, PORTALS[i].query_word);
  }
  return context;
}

std::int64_t score_node(const index::NodeRecord& node, const QueryContext& context) {
  const Path path(node.id_lower);
  const std::string_view ext = node.ext_lower;
  const std::string_view role = role_of_lowered(path, ext);
  return term_score(node, context) + route_score(path.text.text, node.keywords, context) +
         intent_role_weight(context.intent, role) + path_score(path, ext, role, context) +
         kind_score(node);
}

std::int64_t score_node(const text::Json& node, const QueryContext& context) {
  text::TextArena texts;
  index::NodeRecord record = node_record(node, texts);
  index::prepare_node(record, texts);
  return score_node(record, context);
}

std::int64_t score_node(const text::Json& node, const std::vector<std::string>& terms,
                        std::string_view query) {
  return score_node(node, make_query_context(terms, query));
}

EdgeCensus count_edges(const std::vector<index::EdgeRecord>& edges, const QueryContext& context) {
  EdgeCensus census;
  census.button_query = text::contains(context.q, "button");
  census.badge_query = text::contains(context.q, "badge");
  if (!census.button_query && !census.badge_query) return census;
  static constexpr text::MaskedText BUTTON("button");
  static constexpr text::MaskedText BADGE("badge");
  for (const index::EdgeRecord& edge : edges) {
    if (edge.rel != "imports") continue;
    if (edge.to_lower.contains(BUTTON)) census.button_consumers.insert(edge.from.text);
    if (edge.to_lower.contains(BADGE)) census.badge_consumers.insert(edge.from.text);
  }
  return census;
}

std::int64_t node_rank_score(const index::NodeRecord& node, const QueryContext& context,
                             const CapabilityBoosts& caps, const EdgeCensus& census) {
  return score_node(node, context) + capability_boost(node.id.text, caps) +
         census_bonus(node, census);
}

std::int64_t score_edge(const index::EdgeRecord& edge, const QueryContext& context,
                        const IdSet& chosen_ids, const CapabilityBoosts& caps) {
  std::int64_t s = edge_term_hits(edge, context) * EDGE_TEXT_WEIGHT;
  const auto touches = [&edge](const auto& matches) {
    return matches(edge.from) || matches(edge.to);
  };
  if (touches([&](const index::StoredMember& end) { return chosen_ids.contains(end); })) {
    s += EDGE_CHOSEN_FILE_BONUS;
  }
  if (touches([&](const index::StoredMember& end) {
        return end.present && end.value == nullptr && !caps.exact.empty() &&
               caps.exact.contains(end.text);
      })) {
    s += EDGE_CAPABILITY_BONUS;
  }
  if (edge.rel == "imports") s += IMPORTS_EDGE_BONUS;
  return s;
}

}  // namespace plinthar::query
