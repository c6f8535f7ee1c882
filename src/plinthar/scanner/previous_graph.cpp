#include "plinthar/scanner/previous_graph.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::scanner {
namespace {

// Whether the member `key` of a node is one that reuse reads.
bool reused_member(std::string_view key) {
  static constexpr std::string_view MEMBERS[] = {
      "id", "kind", "path", "ext", "size", "keywords", "content", "summary", "file_hash"};
  return std::find(std::begin(MEMBERS), std::end(MEMBERS), key) != std::end(MEMBERS);
}

}  // namespace

ExistingNodes load_previous_file_nodes(const std::filesystem::path& out) {
  const auto bytes = text::read_file(out);
  if (!bytes) return {};
  return previous_file_nodes(*bytes);
}

ExistingNodes previous_file_nodes(std::string_view bytes) {
  ExistingNodes nodes;
  if (!text::is_valid_utf8(bytes) || text::nests_deeper_than(bytes, text::MAX_JSON_DEPTH)) {
    return {};
  }
  const Json::parser_callback_t keep = [](int depth, Json::parse_event_t event, Json& parsed) {
    using Event = Json::parse_event_t;
    if (event == Event::key && depth == 1) return parsed == "nodes";
    if (event == Event::key && depth == 3) return reused_member(parsed.get_ref<std::string&>());
    if (event == Event::object_end && depth == 2) return parsed.value("kind", Json()) == "file";
    return true;
  };
  try {
    Json graph = Json::parse(bytes, keep);
    if (!graph.is_object()) return {};
    const auto list = graph.find("nodes");
    if (list == graph.end()) return {};
    for (Json& node : *list) {
      if (!node.is_object() || node.value("kind", Json()) != "file") continue;
      // The id is read first: the assignment takes its value before its target.
      std::string id = node.at("id").get<std::string>();
      nodes[std::move(id)] = std::move(node);
    }
  } catch (const std::exception&) {
    return {};
  }
  return nodes;
}

}  // namespace plinthar::scanner
