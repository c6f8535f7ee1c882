#pragma once

// Writing graph indexes: a whole new one from the records of a graph file just read or
// written, or the one standing with some of its sections replaced. Either is written
// atomically and without waiting for the disk: readers check what they read and make
// the index again when it is damaged.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/records.hpp"

namespace plinthar::index {

// Sections besides the records, by kind; the index keeps their bytes as they are.
using ExtraSections = std::vector<std::pair<SectionKind, std::string>>;

// The bytes of the index of `records`, which must be prepared, hold only string members
// and carry their spans, read from a graph file that was `graph`.
std::string index_bytes(const GraphRecords& records, const GraphIdentity& graph,
                        const ExtraSections& extra = {});

// Replaces `index_path` with the index of `records` (as index_bytes); false when it
// cannot be written, which costs only speed.
bool write_graph_index(const std::filesystem::path& index_path, const GraphRecords& records,
                       const GraphIdentity& graph, const ExtraSections& extra = {});

// Replaces `index_path` with `current` (an index read from it or beside the same graph
// file) in which the sections of `replacements` take the place of its own of the same
// kinds, or are added; every other section, and the graph the index was made from, stay
// as they are. False when it cannot be written or `current` can no longer be read.
bool replace_sections(const std::filesystem::path& index_path, const GraphIndex& current,
                      const ExtraSections& replacements);

}  // namespace plinthar::index
