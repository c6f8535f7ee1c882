#pragma once

// Imports, requires and path mentions found in a file's text.

#include <filesystem>
#include <string_view>
#include <vector>

#include "plinthar/scanner/extract/text_match.hpp"
#include "plinthar/scanner/graph.hpp"

namespace plinthar::scanner {

// Edges from the file at `path` (file id computed under `root`) to every module or file
// its text imports, requires or mentions, in the order found.
std::vector<Edge> parse_relations(const std::filesystem::path& path, std::string_view text,
                                  const std::filesystem::path& root);

// The same for a file whose id is already known; `path_ext` is the extension of the
// file name exactly as written (case kept), which decides the Swift-only pass.
std::vector<Edge> parse_relations_for(std::string_view file_id, std::string_view text,
                                      std::string_view path_ext);

// Matches of relation pass `pass` (1 to 7) over `text`, whole-match span and first
// capture, exactly as that pass's pattern reports them searching left to right; every
// pass runs in time linear in the length of `text`. Other pass numbers give no matches.
std::vector<TextMatch> relation_pass_matches(int pass, std::string_view text);

}  // namespace plinthar::scanner
