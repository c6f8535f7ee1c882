#include "plinthar/query/mcp/relevant_files_tool.hpp"

#include <algorithm>

#include <absl/container/flat_hash_set.h>

#include "plinthar/query/mcp/relevant_files_text.hpp"
#include "plinthar/query/mcp/task_words.hpp"
#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/hybrid/file_reasons.hpp"
#include "plinthar/query/rank/query_analysis.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/words.hpp"

namespace plinthar::query::mcp {
namespace {

using TermSet = absl::flat_hash_set<std::string>;

// What the ranking was given and chose for one task.
struct Ranking {
  explicit Ranking(std::string_view task) : words(task) {}

  TaskWords words;
  hybrid::HybridQuery query;
  TermSet terms;
  CapabilityBoosts capabilities;
  std::vector<hybrid::RankedFile> files;
  std::vector<hybrid::FileReasons> reasons;
};

Ranking rank(LoadedProject& project, const Locations& locations, const std::string& task,
             std::size_t limit) {
  Ranking ranking(task);
  ranking.query = hybrid::analyse_hybrid_query(task);
  for (const hybrid::WeightedTerm& term : ranking.query.terms) ranking.terms.insert(term.term);
  ranking.capabilities = index_boosts(capability_file_boosts(
      tokenize_query(task), load_capability_index(locations.capability_index)));
  ranking.files = hybrid::rank_files(project.records(), project.stats(), ranking.query,
                                     ranking.capabilities, limit);
  ranking.reasons =
      hybrid::explain_ranking(project.records(), project.stats(), ranking.query, ranking.files);
  return ranking;
}

bool named_by_task(std::string_view name, const TermSet& terms) {
  bool named = false;
  text::WordSplitter().for_each(
      name, [&](std::string_view word) { named = named || terms.contains(std::string(word)); });
  return named;
}

// The symbols of `file` the task names, in file order.
std::vector<std::uint32_t> named_symbols(LoadedProject& project, std::uint32_t file,
                                         const TermSet& terms) {
  std::vector<std::uint32_t> named;
  for (const std::uint32_t node : project.lookups().symbols_of(file)) {
    if (named_by_task(symbol_name(project.records().nodes[node].id.text), terms)) {
      named.push_back(node);
    }
  }
  return named;
}

// The named symbols, then the public ones (no leading "_"), then the rest, at most
// TOP_SYMBOLS.
std::vector<std::uint32_t> top_symbols(LoadedProject& project, std::uint32_t file,
                                       const std::vector<std::uint32_t>& named) {
  std::vector<std::uint32_t> top(named.begin(),
                                 named.begin() + std::min(named.size(), TOP_SYMBOLS));
  for (const bool want_public : {true, false}) {
    for (const std::uint32_t node : project.lookups().symbols_of(file)) {
      if (top.size() >= TOP_SYMBOLS) return top;
      const bool is_public = !symbol_name(project.records().nodes[node].id.text).starts_with('_');
      if (is_public == want_public && std::find(top.begin(), top.end(), node) == top.end()) {
        top.push_back(node);
      }
    }
  }
  return top;
}

std::string quoted_terms(const std::vector<std::string>& terms) {
  std::string text;
  for (const std::string& term : terms) text += (text.empty() ? "\"" : ", \"") + term + "\"";
  return text;
}

Json matched_terms_json(const hybrid::FileReasons& reasons, const TaskWords& words) {
  Json terms = Json::array();
  for (const hybrid::TermMatch& match : reasons.terms) {
    Json fields = Json::array();
    for (std::size_t f = 0; f < index::TERM_FIELDS; ++f) {
      if (match.counts[f] > 0) fields.push_back(hybrid::field_name(f));
    }
    Json entry = Json::object();
    entry["term"] = match.term;
    entry["word"] = words.word_of(match.term);
    entry["fields"] = std::move(fields);
    terms.push_back(std::move(entry));
  }
  return terms;
}

std::string terms_reason(const Json& matched) {
  std::string text = "matches";
  for (std::size_t i = 0; i < matched.size(); ++i) {
    std::string fields;
    for (const Json& field : matched[i]["fields"]) {
      fields += (fields.empty() ? "" : ", ") + field.get<std::string>();
    }
    text += std::string(i == 0 ? " \"" : "; \"") + matched[i]["word"].get<std::string>() +
            "\" in " + fields;
  }
  return text;
}

std::string link_reason(const Json& link) {
  return std::string(link["link"] == "companion" ? "same-named companion "
                                                 : "import or mention link with ") +
         text::one_line(link["path"].get<std::string>()) + ", which matches " +
         quoted_terms(link["words"].get<std::vector<std::string>>());
}

std::string kind_reason(std::string_view kind) {
  if (kind == "version") return "declares a version, and the task asks for a version change";
  if (kind == "docs") return "documentation, and the task asks for documentation";
  if (kind == "config") return "configuration, and the task asks for configuration";
  return "a test file, and the task asks for tests";
}

// The whole entry of one chosen file.
class FileEntry {
 public:
  FileEntry(LoadedProject& project, const Ranking& ranking, std::size_t rank)
      : project_(project), ranking_(ranking), rank_(rank) {}

  Json json() {
    const hybrid::RankedFile& row = ranking_.files[rank_];
    const hybrid::FileReasons& reasons = ranking_.reasons[rank_];
    const std::string_view path = project_.lookups().file_id(row.file);
    const std::uint32_t file = project_.lookups().file_of(path).value_or(row.file);
    const std::vector<std::uint32_t> named = named_symbols(project_, file, ranking_.terms);
    Json entry = Json::object();
    entry["path"] = std::string(path);
    entry["score"] = row.score;
    entry["reasons"] = Json::array();
    entry["matched_terms"] = matched_terms_json(reasons, ranking_.words);
    entry["named_symbols"] = Json::array();
    for (std::size_t i = 0; i < named.size() && i < MAX_NAMED_SYMBOLS; ++i) {
      entry["named_symbols"].push_back(symbol_name(project_.records().nodes[named[i]].id.text));
    }
    entry["linked_files"] = links_json(reasons);
    entry["symbols"] = Json::array();
    for (const std::uint32_t node : top_symbols(project_, file, named)) {
      entry["symbols"].push_back(symbol_json(project_.symbol(node)));
    }
    entry["reasons"] = reason_lines(entry, reasons, path);
    return entry;
  }

 private:
  Json links_json(const hybrid::FileReasons& reasons) {
    Json links = Json::array();
    for (const hybrid::LinkedMatch& link : reasons.links) {
      Json entry = Json::object();
      entry["path"] = std::string(project_.lookups().file_id(link.file));
      entry["link"] = link.companion ? "companion" : "neighbour";
      entry["words"] = Json::array();
      for (const std::string& term : link.terms)
        entry["words"].push_back(ranking_.words.word_of(term));
      links.push_back(std::move(entry));
    }
    return links;
  }

  Json reason_lines(const Json& entry, const hybrid::FileReasons& reasons, std::string_view path) {
    Json lines = Json::array();
    if (!entry["matched_terms"].empty()) lines.push_back(terms_reason(entry["matched_terms"]));
    if (!entry["named_symbols"].empty()) {
      std::vector<std::string> names = entry["named_symbols"].get<std::vector<std::string>>();
      lines.push_back("defines " + quoted_terms(names) + ", named by the task");
    }
    for (const Json& link : entry["linked_files"]) lines.push_back(link_reason(link));
    for (const std::string_view kind : reasons.asked_kinds) lines.push_back(kind_reason(kind));
    if (capability_boost(path, ranking_.capabilities) > 0) {
      lines.push_back("listed in the capability index under a capability the task names");
    }
    if (lines.empty()) lines.push_back("no term of the task: chosen by its size alone");
    return lines;
  }

  LoadedProject& project_;
  const Ranking& ranking_;
  std::size_t rank_;
};

}  // namespace

ToolResult relevant_files_tool(ProjectSession& session, const ToolArguments& arguments) {
  const std::string task = arguments.text("task");
  const auto limit = static_cast<std::size_t>(arguments.integer("limit"));
  LoadedProject& project = session.project();
  const Ranking ranking = rank(project, session.locations(), task, limit);
  Json files = Json::array();
  for (std::size_t i = 0; i < ranking.files.size(); ++i) {
    files.push_back(FileEntry(project, ranking, i).json());
  }
  Json structured = Json::object();
  structured["task"] = task;
  structured["files"] = std::move(files);
  return {relevant_files_text(structured), std::move(structured), false};
}

}  // namespace plinthar::query::mcp
