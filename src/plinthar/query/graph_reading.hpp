#pragma once

// Reading a graph file quickly: a simdjson On-Demand pass that builds the same Json value
// as the nlohmann parser, and can leave out the file texts of the nodes, which make up
// most of a graph file and which ranking never reads.

#include <filesystem>
#include <functional>
#include <optional>

#include <simdjson.h>

#include "plinthar/query/graph_loading.hpp"

namespace plinthar::query {

// The graph map held in `text`, built by the fast reader, or nothing when the fast reader
// cannot vouch for the result (text that is not UTF-8 or JSON, lone surrogate escapes,
// doubles out of range, a top level that is not a map, ...). Where
// it answers, the answer equals parse_graph's, without the "content" members of the
// objects in the top-level "nodes" list when `members` says so. `passed`, when given, is
// told now and then of a point in `text` before which the reader will not look again.
std::optional<Json> parse_graph_fast(simdjson::padded_string_view text, GraphMembers members,
                                     const std::function<void(const char*)>& passed = {});

// The graph map held in `text`, the content of `path` (named in errors): the fast
// reader's answer, else parse_graph's on the same bytes, with its errors. `passed` is as
// for parse_graph_fast.
Json read_graph_text(simdjson::padded_string_view text, const std::filesystem::path& path,
                     GraphMembers members, const std::function<void(const char*)>& passed = {});

// `graph` without the "content" members of the objects in its "nodes" list.
void drop_node_contents(Json& graph);

}  // namespace plinthar::query
