#include "plinthar/scanner/relations.hpp"

#include "plinthar/scanner/discovery.hpp"

namespace plinthar::scanner {

std::vector<Edge> parse_relations(const std::filesystem::path& path, std::string_view text,
                                  const std::filesystem::path& root) {
  return parse_relations_for(rel(path, root), text, file_extension(path.native()));
}

std::vector<Edge> parse_relations_for(std::string_view, std::string_view, std::string_view) {
  return {};
}

}  // namespace plinthar::scanner
