#include "plinthar/query/graph/term_stats_loading.hpp"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>

#include "plinthar/error.hpp"
#include "plinthar/query/graph/graph_file_text.hpp"
#include "plinthar/query/graph/member_text.hpp"
#include "plinthar/scanner/index/graph_index.hpp"
#include "plinthar/scanner/index/term_stats_builder.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {

namespace od = simdjson::ondemand;
namespace fmt = scanner::index_format;

namespace {

// Feeds the nodes and edges of a graph's text to `builder` in one On-Demand pass, keeping
// only the members the statistics read. False when anything is not as the scanner
// writes it; the general parser then reads the text.
class StatsReader {
 public:
  explicit StatsReader(scanner::TermStatsBuilder& builder) : builder_(builder) {}

  bool read(simdjson::padded_string_view text) {
    od::parser parser;
    od::document document;
    od::object root;
    if (parser.iterate(text).get(document) != simdjson::SUCCESS ||
        document.get_object().get(root) != simdjson::SUCCESS) {
      return false;
    }
    for (auto field_result : root) {
      od::field field;
      std::string_view key;
      if (std::move(field_result).get(field) != simdjson::SUCCESS ||
          field.unescaped_key().get(key) != simdjson::SUCCESS) {
        return false;
      }
      if (key == "nodes" && !read_list(field.value(), &StatsReader::read_node)) return false;
      if (key == "edges" && !read_list(field.value(), &StatsReader::read_edge)) return false;
    }
    return true;
  }

 private:
  using ObjectReader = bool (StatsReader::*)(od::object&);

  bool read_list(od::value value, ObjectReader read_object) {
    od::array list;
    if (value.get_array().get(list) != simdjson::SUCCESS) return false;
    for (auto element_result : list) {
      od::object object;
      if (std::move(element_result).get_object().get(object) != simdjson::SUCCESS ||
          !(this->*read_object)(object)) {
        return false;
      }
    }
    return true;
  }

  // Calls `member(key, value)` for each member; false when one cannot be read.
  template <typename Member>
  static bool each_member(od::object& object, Member member) {
    for (auto field_result : object) {
      od::field field;
      std::string_view key;
      if (std::move(field_result).get(field) != simdjson::SUCCESS ||
          field.unescaped_key().get(key) != simdjson::SUCCESS || !member(key, field.value())) {
        return false;
      }
    }
    return true;
  }

  // A string member, copied since the parser reuses its buffer.
  static bool read_string(od::value value, std::string& out) {
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) return false;
    out.assign(text);
    return true;
  }

  bool read_node(od::object& object) {
    id_.clear();
    kind_.clear();
    path_.clear();
    name_.clear();
    content_.clear();
    keywords_.clear();
    std::int64_t size = 0;
    const bool read = each_member(object, [&](std::string_view key, od::value value) {
      if (key == "id") return read_string(value, id_);
      if (key == "kind") return read_string(value, kind_);
      if (key == "path") return read_string(value, path_);
      if (key == "name") return read_string(value, name_);
      if (key == "content") return read_string(value, content_);
      if (key == "size") return value.get_int64().get(size) == simdjson::SUCCESS;
      if (key == "keywords") return read_keywords(value);
      return true;
    });
    if (!read) return false;
    scanner::StatsNode node{id_, kind_, path_, name_, content_, size, {}};
    for (const std::string& keyword : keywords_) node.keywords.push_back(keyword);
    builder_.add_node(node);
    return true;
  }

  bool read_keywords(od::value value) {
    od::array list;
    if (value.get_array().get(list) != simdjson::SUCCESS) return false;
    for (auto element_result : list) {
      od::value element;
      if (std::move(element_result).get(element) != simdjson::SUCCESS ||
          !read_string(element, keywords_.emplace_back())) {
        return false;
      }
    }
    return true;
  }

  bool read_edge(od::object& object) {
    from_.clear();
    to_.clear();
    rel_.clear();
    const bool read = each_member(object, [&](std::string_view key, od::value value) {
      if (key == "from") return read_string(value, from_);
      if (key == "to") return read_string(value, to_);
      if (key == "rel") return read_string(value, rel_);
      return true;
    });
    if (read) builder_.add_edge(from_, to_, rel_);
    return read;
  }

  scanner::TermStatsBuilder& builder_;
  std::string id_, kind_, path_, name_, content_, from_, to_, rel_;
  std::vector<std::string> keywords_;
};

std::string member_text(const Json& edge, const char* key) {
  const auto found = edge.find(key);
  return found != edge.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::optional<std::string> build_from_map(const Json& graph) {
  if (!graph.is_object()) return std::nullopt;
  scanner::TermStatsBuilder builder;
  const auto nodes = graph.find("nodes");
  if (nodes != graph.end() && nodes->is_array()) {
    for (const Json& node : *nodes) builder.add_node(scanner::stats_node_of(node));
  }
  const auto edges = graph.find("edges");
  if (edges != graph.end() && edges->is_array()) {
    for (const Json& edge : *edges) {
      if (edge.is_object()) {
        builder.add_edge(member_text(edge, "from"), member_text(edge, "to"),
                         member_text(edge, "rel"));
      } else {
        builder.add_edge("", "", "");
      }
    }
  }
  return builder.finish();
}

// Why `text`, which build_term_stats could not read, is no graph map: the parser's
// reason, or the kind of value it holds.
std::string why_not_a_graph(std::string_view text) {
  try {
    return "Expected dict, got " + std::string(json_kind_name(text::parse_json(text)));
  } catch (const Error& error) {
    return error.what();
  }
}

// Whether `stats` describe `records`: the same edges, and files among the same nodes.
bool describes(const scanner::TermStats& stats, const GraphRecords& records) {
  if (stats.edge_count() != records.edges.size()) return false;
  for (std::size_t file = 0; file < stats.file_count(); ++file) {
    if (stats.node(file) >= records.nodes.size()) return false;
  }
  return true;
}

// The index's sections that other modules laid out, to be kept when it is rewritten.
scanner::ExtraSections kept_sections(const scanner::GraphIndex* index) {
  scanner::ExtraSections kept;
  if (index == nullptr) return kept;
  for (std::uint32_t kind = 1; kind < fmt::SECTION_KINDS; ++kind) {
    const auto section_kind = static_cast<fmt::SectionKind>(kind);
    if (section_kind == fmt::SectionKind::blob || section_kind == fmt::SectionKind::entries ||
        section_kind == fmt::SectionKind::nodes || section_kind == fmt::SectionKind::edges ||
        section_kind == fmt::SectionKind::term_stats) {
      continue;
    }
    if (const auto bytes = index->section(section_kind)) {
      kept.emplace_back(section_kind, std::string(*bytes));
    }
  }
  return kept;
}

// Rewrites the index beside `graph_file` with the statistics added, when the records
// can be written (they know where each node and edge stands in the file).
void write_into_index(const LoadedGraph& graph, const std::filesystem::path& graph_file,
                      int graph_fd, std::uint64_t content_hash, const std::string& bytes) {
  const GraphRecords& records = graph.records();
  if (records.node_spans.size() != records.nodes.size() ||
      records.edge_spans.size() != records.edges.size()) {
    return;
  }
  const auto identity = scanner::graph_identity(graph_fd, content_hash);
  if (!identity) return;
  scanner::ExtraSections sections = kept_sections(graph.index());
  sections.emplace_back(fmt::SectionKind::term_stats, bytes);
  scanner::write_graph_index(scanner::index_path_for(graph_file), records, *identity, sections);
}

}  // namespace

GraphTermStats GraphTermStats::owning(std::string bytes) {
  auto owned = std::make_unique<const std::string>(std::move(bytes));
  const auto view = scanner::TermStats::open(*owned);
  if (!view) throw Error("cannot lay out the term statistics");
  return GraphTermStats(std::move(owned), *view);
}

std::optional<std::string> build_term_stats(simdjson::padded_string_view text) {
  scanner::TermStatsBuilder builder;
  if (StatsReader(builder).read(text)) return builder.finish();
  const auto graph = text::try_parse_json(std::string_view(text.data(), text.size()));
  if (!graph) return std::nullopt;
  return build_from_map(*graph);
}

GraphTermStats load_term_stats(const LoadedGraph& graph, const std::filesystem::path& graph_file) {
  if (const scanner::GraphIndex* index = graph.index()) {
    if (const auto bytes = index->section(fmt::SectionKind::term_stats)) {
      if (const auto view = scanner::TermStats::open(*bytes);
          view && describes(*view, graph.records())) {
        return GraphTermStats(*view);
      }
    }
  }
  const text::FileDescriptor fd(::open(graph_file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) throw Error("cannot read " + graph_file.string() + ": " + std::strerror(errno));
  const auto text = GraphFileText::read(fd.get(), graph_file);
  const auto view = text.view();
  auto bytes = build_term_stats(view);
  if (!bytes) {
    throw Error("cannot parse " + graph_file.string() + ": " +
                why_not_a_graph(std::string_view(view.data(), view.size())));
  }
  const auto built = scanner::TermStats::open(*bytes);
  if (!built || !describes(*built, graph.records())) {
    throw Error("cannot read " + graph_file.string() + ": it changed while being read");
  }
  write_into_index(graph, graph_file, fd.get(),
                   text::content_hash(std::string_view(view.data(), view.size())), *bytes);
  return GraphTermStats::owning(std::move(*bytes));
}

}  // namespace plinthar::query
