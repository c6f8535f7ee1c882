#include "plinthar/query/graph/graph_file_text.hpp"

namespace plinthar::query {

std::optional<GraphFileText> GraphFileText::read(const std::filesystem::path& path) {
  auto file = platform::PaddedFile::read(path, simdjson::SIMDJSON_PADDING);
  if (!file) return std::nullopt;
  return GraphFileText(std::move(*file));
}

GraphFileText GraphFileText::read(int fd, const std::filesystem::path& name) {
  return GraphFileText(platform::PaddedFile::read(fd, simdjson::SIMDJSON_PADDING, name));
}

}  // namespace plinthar::query
